#pragma once
#include <QString>

// What makes two names the same driver: blanks around dropped and inner runs
// of blanks taken as one, letter case ignored (full Unicode case folding),
// compatibility forms alike (NFKC: composed and decomposed accents, a
// full-width letter, a no-break space), invisible marks (zero-width space,
// direction marks) ignored. Two names are one driver when their keys are equal.
QString chiaveNomePilota(const QString &nome);
