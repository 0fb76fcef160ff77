#pragma once

class CveloraDlg;

namespace login {

// The real self-update check of the login dialog's first paint: the
// dialog's window owns the message boxes and receives the close request.
// True when a new program was installed and started: this one is ending.
bool RunUpdateCheck(CveloraDlg& dialog);

}  // namespace login
