#pragma once
#include <QString>

// Letter case folded in full, as Unicode's full case folding does: every
// alphabet, and the letters whose folded form is longer than they are ("ß" and
// "ẞ" give "ss", "ﬁ" gives "fi"). QString::toCaseFolded folds one letter into
// one, so "Straße" and "STRASSE" would stay two names.
QString piegaCompleta(const QString &testo);
