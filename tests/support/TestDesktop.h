#pragma once

#include <string>

namespace vorlaxen::test {

// A desktop of the tests' own, for the whole test program: XDG_DATA_HOME and XDG_CONFIG_HOME point into a
// directory made once per process (GIO reads the desktop's applications once per process), holding two
// desktop entries and a mimeapps.list that makes them the default applications:
//
// - text/html: an opener that writes the directory it was started in to FILE.opened-in and ends.
// - text/plain: a viewer whose behaviour the file's first line chooses: "quit" ends at once; "sleep"
//   ends after a third of a second; "hold" leaves a process that holds the file open until FILE.release
//   appears and ends at once; "rewrite" ends at once and leaves a process that writes "rewritten" into
//   the file once FILE.rewrite appears. The processes it leaves give up after ten seconds.
// - application/x-vorlaxen-container (".cry"): the program's own desktop entry and file type as the
//   installation puts them, in a prefix whose bin/vorlaxen appends its arguments, one a line, to
//   bin/vorlaxen.args; beside it the hidden "Open With" entry for any file. The applications' types are
//   cached as an installation caches them (update-desktop-database).
//
// Returns the directory.
const std::string& InstallTestDesktop();

} // namespace vorlaxen::test
