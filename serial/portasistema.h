#pragma once
class ImpostazioniPorta;
class PortaSeriale;
class QObject;

// The real serial port of the system the program runs on; the caller's thread owns it.
PortaSeriale *creaPortaSistema(ImpostazioniPorta &store, QObject *parent);
