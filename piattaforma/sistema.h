#pragma once
#include <QString>

// Facts of the system the program runs on, and how it talks to the terminal.
namespace sistema {

// Running under Wine rather than on Windows (always false elsewhere): Wine's
// serial driver does some things otherwise, and tests that depend on them
// are told.
bool sottoWine();

// Text for the terminal the program was started from (--help, --version). A
// window program started from a console writes to that console; started from
// the menu it has none, and nothing opens. Output sent to a file or a pipe
// goes there.
void scriviSulTerminale(const QString &testo);

} // namespace sistema
