#include "dispositivo/simulatore/dispositivosimulato.h"
#include "serial/portareale.h"

#include <QRegularExpression>
#include <QSocketNotifier>
#include <QStringList>

#include <algorithm>


DispositivoSimulato::DispositivoSimulato(QObject *parent) : QObject(parent)
{
    orologio_.start();
    fineImpulso_.fill(-1);
    if (!pty_.valida()) return;
    notifica_ = std::make_unique<QSocketNotifier>(pty_.master(), QSocketNotifier::Read);
    connect(notifica_.get(), &QSocketNotifier::activated, this, &DispositivoSimulato::leggi);
    esclusiva_.setInterval(250);
    connect(&esclusiva_, &QTimer::timeout, this, &DispositivoSimulato::controllaEsclusiva);
    esclusiva_.start();
}

void DispositivoSimulato::controllaEsclusiva()
{
    if (orologio_.elapsed() - ultimaInterrogazione_ < silenzioLiberaMs || !pty_.esclusiva()) return;
    if (pty_.liberaEsclusiva()) emit portaLiberata();
}

DispositivoSimulato::DispositivoSimulato(PortaReale &porta, QObject *parent) : QObject(parent), porta_(&porta)
{
    orologio_.start();
    fineImpulso_.fill(-1);
    connect(porta_, &PortaSeriale::onComm, this, &DispositivoSimulato::leggi);
}

DispositivoSimulato::~DispositivoSimulato() = default;

bool DispositivoSimulato::valido() const { return porta_ ? porta_->portOpen() : pty_.valida(); }

QString DispositivoSimulato::errore() const { return porta_ ? porta_->descrizioneErrore() : pty_.errore(); }

QString DispositivoSimulato::percorso() const
{
    return porta_ ? porta_->dispositivo() : pty_.percorso();
}

bool DispositivoSimulato::attiva(int corsia) const
{
    return tenute_[corsia] || orologio_.elapsed() < fineImpulso_[corsia];
}

quint8 DispositivoSimulato::statoByte() const
{
    quint8 stato = 0xFF;
    for (int k = 0; k < 8; ++k)
        if (attiva(k)) stato &= ~quint8(1u << k);
    return stato;
}

void DispositivoSimulato::avvisaSeCambiato()
{
    const quint8 stato = statoByte();
    if (stato == ultimoStato_) return;
    ultimoStato_ = stato;
    if (logica_) {
        // The firmware stamps each edge as it comes; a crossing is a new number in its queue.
        const quint64 t = tick();
        const uint16_t prima = logica_->ultimo;
        logica_linee(logica_.get(), quint8(~stato), 0xFF, t);
        const int nuovi = std::min<int>(uint16_t(logica_->ultimo - prima), logica_->quanti);
        for (int i = nuovi; i > 0; --i)
            emit passaggioStampato(logica_->coda[(logica_->primo + logica_->quanti - i) % LOG_CODA].corsia, t);
    }
    emit lineeCambiate(stato);
}

void DispositivoSimulato::impostaEsteso(double ppm)
{
    rapporto_ = 1 + ppm * 1e-6;
    logica_ = std::make_unique<logica>();
    origineNs_ = orologio_.nsecsElapsed();
    logica_avvia(logica_.get(), avvio_, quint8(~statoByte()), 0);
    // Between bytes the firmware gives up broken frames and leaves a program that went quiet.
    passo_.setInterval(2);
    connect(&passo_, &QTimer::timeout, this, &DispositivoSimulato::passoLogica, Qt::UniqueConnection);
    passo_.start();
}

quint64 DispositivoSimulato::tick() const
{
    if (!logica_) return 0;
    const double ns = double(orologio_.nsecsElapsed() - origineNs_) * rapporto_;
    return quint64(ns * (LOG_TICK_AL_SECONDO / 1e9)) & SPD_MASCHERA48;
}

void DispositivoSimulato::riavvia()
{
    if (!logica_) return;
    origineNs_ = orologio_.nsecsElapsed();
    logica_avvia(logica_.get(), ++avvio_, quint8(~statoByte()), 0);
    passoLogica();
}

void DispositivoSimulato::passoLogica()
{
    uint8_t out[SPD_TRAMA_MAX];
    if (const uint8_t n = logica_passo(logica_.get(), tick(), out); n && !muto_)
        rispondi(QByteArray(reinterpret_cast<const char *>(out), n));
    if (logica_->esteso != inEsteso_) {
        inEsteso_ = logica_->esteso;
        emit protocolloCambiato(inEsteso_);
    }
}

void DispositivoSimulato::rispondi(const QByteArray &byte)
{
    if (porta_) porta_->output(QString::fromLatin1(byte));
    else pty_.scrivi(byte);
}

void DispositivoSimulato::leggi()
{
    const QByteArray arrivati = porta_ ? porta_->input().toLatin1() : pty_.leggi(0);
    if (muto_) return; // what came is lost, as on a cable pulled out
    uint8_t out[SPD_TRAMA_MAX];
    for (char c : arrivati) {
        QByteArray risposta;
        if (logica_) {
            risposta = QByteArray(reinterpret_cast<const char *>(out), logica_byte(logica_.get(), uchar(c), tick(), out));
            if (risposta.isEmpty()) continue;
        } else if (c == ' ') {
            risposta = QByteArray(1, char(statoByte()));
        } else {
            continue;
        }
        rispondi(risposta);
        ++interrogazioni_;
        ultimaInterrogazione_ = orologio_.elapsed();
        emit interrogato(risposta.size() == 1 ? quint8(risposta[0]) : statoByte());
    }
    if (logica_) passoLogica();
}

void DispositivoSimulato::tieni(int corsia)
{
    tenute_[corsia] = true;
    avvisaSeCambiato();
}

void DispositivoSimulato::rilascia(int corsia)
{
    tenute_[corsia] = false;
    fineImpulso_[corsia] = -1;
    avvisaSeCambiato();
}

void DispositivoSimulato::rilasciaTutte()
{
    tenute_.fill(false);
    fineImpulso_.fill(-1);
    avvisaSeCambiato();
}

void DispositivoSimulato::impulso(int corsia)
{
    fineImpulso_[corsia] = orologio_.elapsed() + impulsoMs_;
    avvisaSeCambiato();
    QTimer::singleShot(impulsoMs_ + 1, this, &DispositivoSimulato::avvisaSeCambiato);
}

namespace {
const QRegularExpression &separatori()
{
    static const QRegularExpression re(QStringLiteral("[\\s,]+"));
    return re;
}
const QRegularExpression &formaComando()
{
    static const QRegularExpression re(QStringLiteral("^([+-]?)([1-8])$"));
    return re;
}
} // namespace

bool DispositivoSimulato::comandoValido(const QString &testo)
{
    const QStringList parti = testo.split(separatori(), Qt::SkipEmptyParts);
    for (const QString &p : parti)
        if (p != u"-" && p != u"0" && !formaComando().match(p).hasMatch()) return false;
    return !parti.isEmpty();
}

bool DispositivoSimulato::comando(const QString &testo)
{
    // Understand all of it before acting on any of it.
    if (!comandoValido(testo)) return false;
    for (const QString &p : testo.split(separatori(), Qt::SkipEmptyParts)) {
        if (p == u"-" || p == u"0") {
            rilasciaTutte();
            continue;
        }
        const auto m = formaComando().match(p);
        const int corsia = m.captured(2).toInt() - 1;
        if (m.captured(1) == u"+") tieni(corsia);
        else if (m.captured(1) == u"-") rilascia(corsia);
        else impulso(corsia);
    }
    return true;
}

bool DispositivoSimulato::programma(const QString &testo, QString *errore)
{
    struct Passo {
        int ms;
        QString comandi;
    };
    QList<Passo> passi;
    const QStringList righe = testo.split(u'\n');
    for (int n = 0; n < righe.size(); ++n) {
        const QString riga = righe[n].section(u'#', 0, 0).simplified();
        if (riga.isEmpty()) continue;
        bool ok = false;
        const int ms = riga.section(u' ', 0, 0).toInt(&ok);
        const QString comandi = riga.section(u' ', 1).trimmed();
        // One bad line refuses the whole programme, before anything runs.
        if (!ok || ms < 0 || comandi.isEmpty() || !comandoValido(comandi)) {
            if (errore) *errore = QStringLiteral("riga %1 non valida: %2").arg(n + 1).arg(righe[n]);
            return false;
        }
        passi.append({ms, comandi});
    }
    passiInSospeso_ += passi.size();
    for (const Passo &p : passi)
        QTimer::singleShot(p.ms, this, [this, c = p.comandi] {
            comando(c);
            if (--passiInSospeso_ == 0) emit programmaFinito();
        });
    if (passi.isEmpty()) QTimer::singleShot(0, this, &DispositivoSimulato::programmaFinito);
    return true;
}
