#pragma once

// A disk that tests and benchmarks can slow down or break: an engine file
// layer wrapped around the real one and made the default for the process.
namespace vfsprova {
// Installs it once; every connection opened afterwards goes through it.
void installa();
// Milliseconds added to every sync of a database file (each commit has one).
void ritardoCommit(int ms);
// 0: a working disk. Otherwise every write or sync of a database or journal
// file fails with this engine code (13 for a full disk).
void guasto(int codice);
// Milliseconds added to every read of a database file whose path contains `parte`
// (opened from now on); an empty `parte` reads at full speed again.
void rallentaLetture(const char *parte, int ms);
} // namespace vfsprova
