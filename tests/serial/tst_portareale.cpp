// The real port's own logic over a line that answers as the test says: what the
// operator is told, what is put back after a refusal, a line that goes away.
#include "comune/impostazioni.h"
#include "serial/portareale.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
class LineaFinta : public LineaCom {
public:
    Apertura apertura = Apertura::Fatta;
    Esito esito;                       // of the next applica
    bool rifiutaScrittura = false;
    QList<ParametriLinea> applicati;   // everything put on the line, in order
    QByteArray scritti, daLeggere;
    bool aperta_ = false;

    using LineaCom::LineaCom;
    Apertura apri(const QString &) override
    {
        motivo_ = u"motivo di sistema"_s;
        aperta_ = apertura == Apertura::Fatta;
        return apertura;
    }
    void chiudi() override { aperta_ = false; }
    bool aperta() const override { return aperta_; }
    bool scrivi(const QByteArray &byte) override
    {
        if (rifiutaScrittura) motivo_ = u"disco rotto"_s;
        else scritti += byte;
        return !rifiutaScrittura;
    }
    QByteArray leggi() override { return std::exchange(daLeggere, {}); }
    Esito applica(const ParametriLinea &p) override
    {
        applicati << p;
        motivo_ = u"rifiutato dal driver"_s;
        return std::exchange(esito, {});
    }
    void perdi() { aperta_ = false; emit persa(u"cavo staccato"_s); }
};
} // namespace

class TstPortaReale : public QObject {
    Q_OBJECT
    QTemporaryDir cartella_;

private slots:
    void apertureRifiutate_data()
    {
        QTest::addColumn<int>("esito");
        QTest::addColumn<QString>("parola");
        QTest::newRow("non esiste") << int(LineaCom::Apertura::NonEsiste) << u"non esiste"_s;
        QTest::newRow("in uso") << int(LineaCom::Apertura::InUso) << u"già in uso da un altro programma"_s;
        QTest::newRow("accesso") << int(LineaCom::Apertura::AccessoNegato) << u"gruppo dialout"_s;
        QTest::newRow("già aperta") << int(LineaCom::Apertura::GiaAperta) << u"è già aperta"_s;
        QTest::newRow("non seriale") << int(LineaCom::Apertura::NonSeriale) << u"non è una porta seriale (motivo di sistema)"_s;
        QTest::newRow("altro") << int(LineaCom::Apertura::Altro) << u"Impossibile aprire la porta Com4"_s;
    }
    // Every refusal names the port and its device, with the system's words where they help.
    void apertureRifiutate()
    {
        QFETCH(int, esito);
        QFETCH(QString, parola);
        Impostazioni store(cartella_.filePath(u"utente.ini"_s));
        auto *linea = new LineaFinta;
        linea->apertura = LineaCom::Apertura(esito);
        PortaReale porta(store, linea);
        QSignalSpy aperture(&porta, &PortaSeriale::apertaCambiata);
        QVERIFY(porta.setCommPort(4));
        QVERIFY(!porta.setPortOpen(true) && !porta.portOpen());
        const QString d = porta.descrizioneErrore();
        QVERIFY2(d.contains(parola) && d.contains(u"Com4 (%1)"_s.arg(porta.dispositivo())), qPrintable(d));
        // Where the settings may point a port elsewhere, a missing port says how.
        if (LineaCom::Apertura(esito) == LineaCom::Apertura::NonEsiste)
            QCOMPARE(d.contains(u"[Porte]"_s), lineaSistema::porteConfigurabili());
        QVERIFY(aperture.isEmpty() && linea->applicati.isEmpty());
    }

    // Settings and flow control go to the line as its parameters; a refusal or a
    // setting left unapplied is told, and the line gets the old ones back.
    void impostazioniSullaLinea()
    {
        Impostazioni store(cartella_.filePath(u"utente.ini"_s));
        auto *linea = new LineaFinta;
        PortaReale porta(store, linea);
        QVERIFY(porta.setSettings(u"19200,e,7,2"_s) && porta.setHandshaking(3));
        QVERIFY(linea->applicati.isEmpty()); // closed: only checked
        QSignalSpy aperture(&porta, &PortaSeriale::apertaCambiata);
        QVERIFY2(porta.setPortOpen(true), qPrintable(porta.descrizioneErrore()));
        QCOMPARE(aperture.size(), 1);
        QCOMPARE(linea->applicati.size(), 1);
        const ParametriLinea &p = linea->applicati.last();
        QVERIFY(p.velocita == 19200 && p.datiBit == 7 && p.parita == ParametriLinea::Parita::Pari
                && p.stop == ParametriLinea::Stop::Due && p.xonXoff && p.rtsCts);

        linea->esito.rifiutato = LineaCom::Parametro::Velocita;
        QVERIFY(!porta.setSettings(u"57600,n,8,1"_s));
        QCOMPARE(porta.descrizioneErrore(), u"La porta Com1 non accetta la velocità 57600 (rifiutato dal driver)."_s);
        QCOMPARE(porta.settings(), u"19200,e,7,2"_s);
        QCOMPARE(linea->applicati.size(), 3); // tried, then the old ones put back
        QCOMPARE(linea->applicati.last().velocita, 19200);

        linea->esito.ignorati = {LineaCom::Parametro::DatiBit, LineaCom::Parametro::Parita};
        QVERIFY(!porta.setSettings(u"9600,o,5,1"_s));
        QCOMPARE(porta.descrizioneErrore(),
                 u"Il dispositivo %1 non applica 5 bit di dati, la parità \"o\"."_s.arg(porta.dispositivo()));
        linea->esito.rifiutato = LineaCom::Parametro::Flusso;
        QVERIFY(!porta.setHandshaking(1));
        QVERIFY2(porta.descrizioneErrore().contains(u"il controllo di flusso 1"_s), qPrintable(porta.descrizioneErrore()));
        QCOMPARE(porta.handshaking(), 3);
        QVERIFY(porta.portOpen());

        // Settings the line refuses at the opening leave it closed, and say which.
        QVERIFY(porta.setPortOpen(false) && !linea->aperta());
        linea->esito.rifiutato = LineaCom::Parametro::Tutti;
        QVERIFY(!porta.setPortOpen(true) && !linea->aperta());
        QVERIFY2(porta.descrizioneErrore().startsWith(u"Porta Com1 (%1) non aperta: impostazioni 19200,e,7,2 non applicabili. "_s
                                                          .arg(porta.dispositivo())),
                 qPrintable(porta.descrizioneErrore()));
        QCOMPARE(aperture.size(), 2);
    }

    // Bytes both ways, a write that fails, and a device that goes away while open.
    void traffico()
    {
        Impostazioni store(cartella_.filePath(u"utente.ini"_s));
        auto *linea = new LineaFinta;
        PortaReale porta(store, linea);
        QVERIFY(!porta.output(u" "_s) && porta.descrizioneErrore() == u"La porta Com1 è chiusa."_s);
        QVERIFY(porta.setPortOpen(true));
        QVERIFY(!porta.setCommPort(2) && porta.commPort() == 1);
        QVERIFY(porta.output(u"  "_s) && linea->scritti == "  ");
        QSignalSpy arrivi(&porta, &PortaSeriale::onComm);
        linea->daLeggere = "\xFB";
        emit linea->arrivati();
        QCOMPARE(arrivi.size(), 1);
        QCOMPARE(porta.input(), QString(QChar(0xFB)));
        linea->rifiutaScrittura = true;
        QVERIFY(!porta.output(u" "_s));
        QCOMPARE(porta.descrizioneErrore(), u"Scrittura sulla porta Com1 non riuscita: disco rotto"_s);

        QSignalSpy aperture(&porta, &PortaSeriale::apertaCambiata), perse(&porta, &PortaSeriale::lineaPersa);
        linea->perdi();
        QVERIFY(!porta.portOpen());
        QCOMPARE(aperture.size(), 1);
        QCOMPARE(aperture.first().first().toBool(), false);
        const QString atteso = u"La porta Com1 non è più disponibile (cavo staccato): il dispositivo di cronometraggio è scollegato."_s;
        QCOMPARE(perse.size(), 1);
        QCOMPARE(perse.first().first().toString(), atteso);
        QCOMPARE(porta.descrizioneErrore(), atteso);
    }

    // A port number leads to the device the settings name, where the system allows it.
    void dispositivoDellaPorta()
    {
        Impostazioni store(cartella_.filePath(u"porte.ini"_s));
        store.scrivi(u"Porte"_s, u"Com3"_s, u" /dev/ttyUSB0 "_s);
        QCOMPARE(dispositivoPorta(3, store),
                 lineaSistema::porteConfigurabili() ? u"/dev/ttyUSB0"_s : lineaSistema::dispositivo(3));
        QCOMPARE(dispositivoPorta(16, store), lineaSistema::dispositivo(16));
    }
};

QTEST_MAIN(TstPortaReale)
#include "tst_portareale.moc"
