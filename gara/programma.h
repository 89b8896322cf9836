#pragma once
#include <QString>
#include <QStringList>
#include <QVector>

// The heat schedule of an event. Each driver races each lane in use once;
// with more drivers than lanes they are spread over heats so that nobody
// races two heats in a row where that can be avoided. Drivers are the
// positions of the entry list (0, 1, ...); lanes count from 0.
namespace gara {

constexpr int corsieMassime = 8;

struct MancheProgrammata {
    int turno = 1; // the round; in a round every driver races once when the drivers fill the lanes evenly
    QVector<int> corsie = QVector<int>(corsieMassime, -1); // the driver on each lane, -1 when free
    int piloti() const;
    int corsiaDi(int pilota) const; // -1 when he is not in this heat
};
using Programma = QVector<MancheProgrammata>;

// The lanes in use of a bit mask (bit k for lane k), in order.
QVector<int> corsieAttive(quint8 maschera);

struct ProgrammaGenerato {
    Programma programma; // empty when `errore` says why
    QString errore;
};

// The fewest heats that let each driver race each lane in use once: as many
// as the drivers or the lanes, whichever is more. When the drivers are a
// multiple of the lanes they race in fixed groups, a round at a time, moving
// one lane on each round (no one races twice in a row when there are two
// groups or more); otherwise each heat takes the next drivers in a circle and
// the heats are put in the order that leaves the fewest drivers racing twice
// in a row.
ProgrammaGenerato generaProgramma(int piloti, quint8 corsie);

// A schedule checked before it is stored (after the operator reordered it by
// hand): `errore` refuses it, `avvisi` only tell (a driver who misses a lane,
// races one twice, or races two heats in a row). `nomi` are the entry list's.
struct VerificaProgramma {
    QString errore;
    QStringList avvisi;
    bool valido() const { return errore.isEmpty(); }
};
// The first `giaCorse` heats have been run: they only count for the warnings.
VerificaProgramma verificaProgramma(const Programma &programma, const QStringList &nomi, quint8 corsie,
                                    int giaCorse = 0);

// Times a driver races two heats in a row, summed over drivers.
int mancheConsecutive(const Programma &programma);
// No schedule of the generator's number of heats for these drivers and lanes has fewer.
int minimoMancheConsecutive(int piloti, int corsie);

} // namespace gara
