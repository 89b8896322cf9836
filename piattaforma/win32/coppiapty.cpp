#include "piattaforma/coppiapty.h"

// No pseudo-terminals here: the device is played on a COM port instead.
CoppiaPty::CoppiaPty() : errore_(QStringLiteral("gli pseudo-terminali non esistono su questo sistema")) {}
CoppiaPty::~CoppiaPty() = default;
QByteArray CoppiaPty::leggi(int) { return {}; }
bool CoppiaPty::scrivi(const QByteArray &) { return false; }
bool CoppiaPty::esclusiva() const { return false; }
bool CoppiaPty::liberaEsclusiva() { return false; }
