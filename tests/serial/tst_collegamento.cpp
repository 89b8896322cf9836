// The program's side of the timing device's link, in simulated time: asking for the extended
// protocol, the clock fit (a resonator 0.5 % off), crossings through garbled, lost and late
// replies, gaps, restarts, silence, and the classic poll's judgement of noise. The device is the firmware's own logic
// (or an older device of the classic protocol, or nothing) behind a line paced at 9600 baud
// with the latencies of a busy computer; every run is the same.
#include "dispositivo/firmware/logica.h"
#include "serial/collegamentodispositivo.h"

#include <QTest>
#include <cmath>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <random>

namespace {

constexpr double infinito = std::numeric_limits<double>::infinity();
constexpr double passo = 0.00025;
constexpr double byteSulFilo = 10.0 / 9600;
using Tipo = AvvisoDispositivo::Tipo;

struct Linea : AscoltoDispositivo {
    enum class Dispositivo { Esteso, Classico, Muto };

    explicit Linea(Dispositivo d = Dispositivo::Esteso, double ppmOrologio = 0) : tipo(d), ppm(ppmOrologio)
    {
        logica_avvia(&dev, avvio, 0, 0);
        c.avvia(0);
    }

    CollegamentoDispositivo c{*this};
    Dispositivo tipo;
    double ppm, ora = 0, origine = 0; // origine: program time of the device's tick 0
    logica dev;
    uint32_t avvio = 7;
    std::mt19937 caso{1};
    double ritardiRari = 0;    // share of replies read 5-25 ms late (a busy machine)
    double mutoFino = -1;      // the cable is out until then
    double sordoFino = 0;      // an Arduino's bootloader
    std::function<void(std::vector<uint8_t> &)> guasto; // does what it likes to each reply
    uint8_t attivi = 0;
    // What the program heard, and the crossings as they happened (program time).
    std::vector<std::pair<uint8_t, double>> stati;
    std::vector<std::pair<int, double>> passaggi;
    std::vector<AvvisoDispositivo> avvisi;
    int riposi = 0, ciao = 0;
    std::vector<double> veri[8];

    void stato(uint8_t byte, double istante) override { stati.emplace_back(byte, istante); }
    void linee(uint8_t) override {}
    void passaggio(int corsia, double istante) override { passaggi.emplace_back(corsia, istante); }
    void riposo() override { ++riposi; }
    void avviso(const AvvisoDispositivo &a) override { avvisi.push_back(a); }

    int quanti(Tipo t) const { return int(std::count_if(avvisi.begin(), avvisi.end(), [t](auto &a) { return a.tipo == t; })); }
    uint64_t tick(double t) const { return uint64_t(std::llround((t - origine) * LOG_TICK_AL_SECONDO * (1 + ppm * 1e-6))); }
    double latenza() { return std::uniform_real_distribution<>(0.0003, 0.003)(caso); }

    // Lane `corsia` crosses at `t` for `durata` seconds.
    void passa(int corsia, double t, double durata = 0.04)
    {
        eventi.emplace(t, [this, corsia, t] {
            veri[corsia].push_back(t);
            linea(attivi | (1u << corsia), t);
        });
        eventi.emplace(t + durata, [this, corsia, t, durata] { linea(attivi & ~(1u << corsia), t + durata); });
    }
    // Bytes that reach the program at `t` from nowhere.
    void inietta(double t, std::vector<uint8_t> byte)
    {
        eventi.emplace(t, [this, t, byte] {
            for (uint8_t b : byte) versoProg.emplace_back(std::max(t, versoProg.empty() ? 0 : versoProg.back().first), b);
        });
    }
    void riavvia(double t)
    {
        eventi.emplace(t, [this, t] {
            origine = t;
            logica_avvia(&dev, ++avvio, attivi, 0);
        });
    }
    void esegui(double fino)
    {
        for (; ora < fino; ora += passo) {
            while (!eventi.empty() && eventi.begin()->first <= ora) {
                auto f = std::move(eventi.begin()->second);
                eventi.erase(eventi.begin());
                f();
            }
            dispositivo();
            std::vector<uint8_t> letti;
            while (!versoProg.empty() && versoProg.front().first <= ora) {
                letti.push_back(versoProg.front().second);
                versoProg.pop_front();
            }
            c.ricevi(letti.data(), letti.size(), ora);
            if (ora >= c.prossimo()) invia(c.passo(ora));
            if (c.modo() == CollegamentoDispositivo::Modo::Classico && ora >= prossimaClassica) {
                c.interrogaClassico(ora);
                invia({0x20});
                prossimaClassica = ora + 0.1;
            } else if (c.modo() != CollegamentoDispositivo::Modo::Classico) {
                prossimaClassica = ora + 0.1;
            }
        }
    }
    // The worst lap error of any lane, in seconds, for laps begun from `dopo` on.
    double errore(double dopo = 0) const
    {
        double e = 0;
        std::vector<double> visti[8];
        for (auto [k, t] : passaggi) visti[k].push_back(t);
        for (int k = 0; k < 8; ++k)
            for (size_t i = 1; i < visti[k].size() && i < veri[k].size(); ++i)
                if (veri[k][i - 1] >= dopo) e = std::max(e, std::abs((visti[k][i] - visti[k][i - 1]) - (veri[k][i] - veri[k][i - 1])));
        return e;
    }
    size_t veriTotali() const
    {
        size_t n = 0;
        for (auto &v : veri) n += v.size();
        return n;
    }

private:
    std::multimap<double, std::function<void()>> eventi;
    std::deque<std::pair<double, uint8_t>> versoDisp, versoProg;
    double liberoDisp = 0, liberoProg = 0, prossimaClassica = infinito;

    void linea(uint8_t nuovi, double t)
    {
        attivi = nuovi;
        logica_linee(&dev, attivi, 0xFF, tick(t));
    }
    void invia(const std::vector<uint8_t> &byte)
    {
        if (byte.size() == 5 && byte[2] == SPD_CIAO) ++ciao;
        double t = std::max(ora + latenza(), liberoDisp);
        for (uint8_t b : byte) versoDisp.emplace_back(t += byteSulFilo, b);
        liberoDisp = t;
    }
    void rispondi(std::vector<uint8_t> r, double da)
    {
        if (r.empty()) return;
        if (guasto) guasto(r);
        if (r.empty() || ora < mutoFino) return;
        const double ritardo = latenza() + (std::bernoulli_distribution(ritardiRari)(caso)
                                                ? std::uniform_real_distribution<>(0.005, 0.025)(caso) : 0);
        double t = std::max(da, liberoProg);
        for (uint8_t b : r) {
            t += byteSulFilo;
            const double arrivo = std::max(t + ritardo, versoProg.empty() ? 0 : versoProg.back().first);
            versoProg.emplace_back(arrivo, b);
        }
        liberoProg = t;
    }
    void dispositivo()
    {
        uint8_t out[SPD_TRAMA_MAX];
        while (!versoDisp.empty() && versoDisp.front().first <= ora) {
            const uint8_t b = versoDisp.front().second;
            versoDisp.pop_front();
            if (ora < mutoFino || ora < sordoFino) continue;
            if (tipo == Dispositivo::Classico) rispondi({uint8_t(~attivi)}, ora);
            else if (tipo == Dispositivo::Esteso)
                rispondi(std::vector<uint8_t>(out, out + logica_byte(&dev, b, tick(ora), out)), ora + 0.00025);
        }
        if (tipo == Dispositivo::Esteso)
            if (uint8_t n = logica_passo(&dev, tick(ora), out)) rispondi(std::vector<uint8_t>(out, out + n), ora + 0.00025);
    }
};

// Crossings on four lanes every 1.1-2.9 s, from `da` to `a`.
void traffico(Linea &l, double da, double a, unsigned seme = 3)
{
    std::mt19937 caso(seme);
    for (int k = 0; k < 4; ++k)
        for (double t = da + 0.3 * k; t < a; t += std::uniform_real_distribution<>(1.1, 2.9)(caso)) l.passa(k, t);
}

} // namespace

class TstCollegamento : public QObject {
    Q_OBJECT
private slots:
    void domanda_data()
    {
        QTest::addColumn<int>("dispositivo");
        QTest::addColumn<double>("sordoFino");
        QTest::addColumn<bool>("rumore");
        QTest::newRow("esteso") << int(Linea::Dispositivo::Esteso) << 0.0 << false;
        QTest::newRow("esteso dopo il bootloader") << int(Linea::Dispositivo::Esteso) << 2.0 << false;
        QTest::newRow("classico, ogni linea attiva") << int(Linea::Dispositivo::Classico) << 0.0 << false;
        QTest::newRow("nessuno") << int(Linea::Dispositivo::Muto) << 0.0 << false;
        QTest::newRow("rumore e identità false") << int(Linea::Dispositivo::Muto) << 0.0 << true;
    }
    // Asking: an identification with a valid checksum or nothing, at most ten HELLOs; no byte
    // seen meanwhile is a status; the outputs are for a device of the extended protocol only.
    void domanda()
    {
        QFETCH(int, dispositivo);
        QFETCH(double, sordoFino);
        QFETCH(bool, rumore);
        const bool esteso = dispositivo == int(Linea::Dispositivo::Esteso);
        Linea l{Linea::Dispositivo(dispositivo)};
        l.sordoFino = sordoFino;
        l.attivi = 0xFF; // a classic device would report every lane
        std::mt19937 caso(9);
        for (double t = 0.05; rumore && t < 3; t += 0.02) {
            std::vector<uint8_t> b(1 + caso() % 6);
            for (uint8_t &x : b) x = uint8_t(caso());
            if (caso() % 4 == 0) b.insert(b.begin(), {SPD_INIZIO, 49, SPD_R_IDENTITA});
            l.inietta(t, b);
        }
        l.esegui(2.95); // the first classic status would be read at 3.0
        QCOMPARE(l.c.modo() == CollegamentoDispositivo::Modo::Esteso, esteso);
        QVERIFY(l.stati.empty());
        QCOMPARE(l.ciao, esteso ? (sordoFino > 0 ? 8 : 1) : 9); // every 0.3 s for 2.5 s
        QCOMPARE(l.quanti(Tipo::Esteso), int(esteso));
        QCOMPARE(l.avvisi.size(), size_t(esteso));
        if (esteso) QCOMPARE(QString::fromStdString(l.avvisi[0].nome), QStringLiteral("SaettinoPro cronometro"));
        QCOMPARE(l.c.impostaUscite(0x01, false), esteso);
    }

    void giriEsatti_data()
    {
        QTest::addColumn<double>("ppm");
        QTest::addColumn<double>("ritardiRari");
        QTest::newRow("quarzo") << 0.0 << 0.0;
        QTest::newRow("risonatore +0,5%") << 5000.0 << 0.0;
        QTest::newRow("risonatore -0,5%, computer carico") << -5000.0 << 0.2;
    }
    // Laps as the device stamped them: within a millisecond from the start, and after a
    // minute to a quarter of one, the rate closer than a crystal's tolerance; none lost or doubled.
    void giriEsatti()
    {
        QFETCH(double, ppm);
        QFETCH(double, ritardiRari);
        Linea l(Linea::Dispositivo::Esteso, ppm);
        l.ritardiRari = ritardiRari;
        traffico(l, 3, 150);
        l.esegui(152);
        QCOMPARE(l.passaggi.size(), l.veriTotali());
        QVERIFY2(l.errore() < 0.001, qPrintable(QString::number(l.errore() * 1000)));
        QVERIFY2(l.errore(63) < 0.00025, qPrintable(QString::number(l.errore(63) * 1000)));
        const double scarto = l.c.esteso().mappa().tickAlSecondo() / (LOG_TICK_AL_SECONDO * (1 + ppm * 1e-6)) - 1;
        QVERIFY2(std::abs(scarto) < 3e-6, qPrintable(QString::number(scarto * 1e6)));
        QVERIFY(std::abs(l.passaggi.front().second - l.veri[l.passaggi.front().first].front()) < 0.005);
        QCOMPARE(l.avvisi.size(), size_t(1)); // the identification only
    }

    void risposteRovinate_data()
    {
        QTest::addColumn<int>("guasto");
        QTest::newRow("perse") << 0;
        QTest::newRow("un byte cambiato") << 1;
        QTest::newRow("troncate") << 2;
        QTest::newRow("rumore in coda") << 3;
    }
    // A third of the replies lost, garbled, cut short or followed by junk: every crossing once,
    // laps within a millisecond; bytes that make no valid frame are noise, told once.
    void risposteRovinate()
    {
        QFETCH(int, guasto);
        Linea l;
        std::mt19937 caso(21);
        l.guasto = [&](std::vector<uint8_t> &r) {
            if (l.ora < 3 || caso() % 3) return;
            switch (guasto) {
            case 0: r.clear(); break;
            case 1: r[3 + caso() % (r.size() - 3)] ^= uint8_t(1 + caso() % 255); break;
            case 2: r.resize(r.size() / 2); break;
            default: for (int i = 0; i < 6; ++i) r.push_back(uint8_t(caso()));
            }
        };
        traffico(l, 4, 60);
        l.esegui(63);
        QCOMPARE(l.passaggi.size(), l.veriTotali());
        QVERIFY2(l.errore() < 0.001, qPrintable(QString::number(l.errore() * 1000)));
        QCOMPARE(l.avvisi.size(), size_t(guasto == 0 ? 1 : 2));
        QCOMPARE(l.quanti(Tipo::Rumore), guasto == 0 ? 0 : 1);
    }

    // While the cable is out the lamps go to rest and the silence is told, once, after about a
    // second, and its end; the device's full queue dropped the oldest crossings meanwhile: the
    // gap is told once, with its size, and the crossings kept are taken once.
    void buco()
    {
        Linea l;
        l.esegui(3);
        for (int i = 0; i < 70; ++i) l.passa(i % 4, 4 + i * 0.06, 0.01);
        l.mutoFino = 12;
        l.esegui(3.9);
        QCOMPARE(l.avvisi.size(), size_t(1));
        l.esegui(4.4);
        QCOMPARE(l.avvisi.size(), size_t(2));
        QCOMPARE(l.riposi, 1);
        l.esegui(16);
        QCOMPARE(l.avvisi.size(), size_t(4));
        QCOMPARE(l.avvisi[1].tipo, Tipo::Silenzio);
        QCOMPARE(l.avvisi[2].tipo, Tipo::Risponde);
        QCOMPARE(l.avvisi[3].tipo, Tipo::Persi);
        QCOMPARE(l.avvisi[3].quanti, 70 - LOG_CODA);
        QCOMPARE(l.passaggi.size(), size_t(LOG_CODA));
    }

    // A restart mid-session: told once, the crossings since it taken on its new clock, laps
    // across it within a few milliseconds and after it exact again, the outputs set again.
    void riavvio()
    {
        Linea l(Linea::Dispositivo::Esteso, 3000);
        traffico(l, 3, 41);
        traffico(l, 42, 80, 4);
        l.riavvia(41.5);
        l.esegui(40);
        QVERIFY(l.c.impostaUscite(0x15, true));
        l.esegui(41.6);
        QCOMPARE(l.dev.luci, uint8_t(0));
        l.esegui(82);
        QCOMPARE(l.dev.luci, uint8_t(0x15));
        QCOMPARE(l.dev.rele, uint8_t(1));
        QCOMPARE(l.quanti(Tipo::Riavviato), 1);
        QCOMPARE(l.passaggi.size(), l.veriTotali());
        QVERIFY2(l.errore() < 0.005, qPrintable(QString::number(l.errore() * 1000)));
        QVERIFY2(l.errore(45) < 0.001, qPrintable(QString::number(l.errore(45) * 1000)));
        QCOMPARE(l.avvisi.size(), size_t(2));
    }

    // A classic line: each one-byte reply becomes a status with its arrival instant. Then five
    // seconds of 1-6 random bytes per poll: none is read as a status, the operator hears of it
    // once, and once more when the line is sound again.
    void rumoreClassico()
    {
        Linea l(Linea::Dispositivo::Classico);
        l.esegui(4);
        const size_t prima = l.stati.size();
        QVERIFY(prima >= 7 && std::abs((l.stati[prima - 1].second - l.stati[prima - 2].second) - 0.1) < 0.01);
        std::mt19937 caso(77);
        l.guasto = [&](std::vector<uint8_t> &r) {
            if (l.ora > 9) return;
            r.resize(1 + caso() % 6);
            for (uint8_t &b : r) b = uint8_t(caso());
        };
        l.esegui(9);
        const size_t duranteRumore = l.stati.size();
        l.esegui(11);
        QCOMPARE(l.quanti(Tipo::Rumore), 1);
        QCOMPARE(l.quanti(Tipo::RumoreFinito), 0);
        QVERIFY(l.riposi >= 1);
        l.esegui(16);
        QCOMPARE(l.quanti(Tipo::RumoreFinito), 1);
        // Only the device's idle byte ever became a status: no lane was ever read active.
        for (auto [b, t] : l.stati) QCOMPARE(b, uint8_t(0xFF));
        QVERIFY2(duranteRumore - prima <= 2, qPrintable(QString::number(duranteRumore - prima)));
        QVERIFY(l.stati.size() > duranteRumore + 30);
        QCOMPARE(l.avvisi.size(), size_t(2));
    }

    // Classic replies that are not one byte per poll: one a poll late, read with the next
    // (both taken, at one instant); two for one poll (none taken, nor for the ten polls after).
    void classicoUnBytePerPoll()
    {
        Linea l(Linea::Dispositivo::Classico);
        l.attivi = 0x01;
        int fase = 0;
        uint8_t tardi = 0;
        l.guasto = [&](std::vector<uint8_t> &r) {
            if (l.ora > 4 && fase == 0) tardi = r[0], r.clear(), fase = 1;
            else if (fase == 1) r.insert(r.begin(), tardi), fase = 2;
            else if (l.ora > 6 && fase == 2) r.push_back(r[0]), fase = 3;
        };
        l.esegui(9);
        std::vector<double> salti;
        for (size_t i = 1; i < l.stati.size(); ++i) {
            QCOMPARE(l.stati[i].first, uint8_t(0xFE));
            const double d = l.stati[i].second - l.stati[i - 1].second;
            if (d > 0.15 || d == 0) salti.push_back(d);
        }
        QCOMPARE(salti.size(), size_t(3));
        QVERIFY(std::abs(salti[0] - 0.2) < 0.01 && salti[1] == 0.0 && std::abs(salti[2] - 1.2) < 0.01);
        QVERIFY(l.avvisi.empty());
    }
};

QTEST_APPLESS_MAIN(TstCollegamento)
#include "tst_collegamento.moc"
