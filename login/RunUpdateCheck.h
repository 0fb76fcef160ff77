#pragma once
// The login dialog's self-update check, run with the real update environment.

class CveloraDlg;

namespace login {

// The real self-update check of the login dialog's first paint: the
// dialog's window owns the message boxes and receives the close request.
// True when this program is ending: a new one was installed and started,
// or the player closed it during a download.
bool RunUpdateCheck(CveloraDlg& dialog);

}  // namespace login
