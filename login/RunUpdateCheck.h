#pragma once

class CveloraDlg;

namespace login {

// The real self-update check of the login dialog's first paint: the
// dialog's window owns the message boxes and receives the close request.
void RunUpdateCheck(CveloraDlg& dialog);

}  // namespace login
