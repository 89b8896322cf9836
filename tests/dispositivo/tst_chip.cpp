// The firmware that is flashed, on a simulated ATmega328P. In simulated time: a short
// crossing latched in both protocols, stamps exact to the tick across every wrap-around,
// bounce, noise on the line, the outputs, a reset. Then saettino-banco as an end-to-end
// test drives it, on a pseudo-terminal in real time, with the program's part played here:
// what is checked there are simulated-time quantities, exact whatever the machine's load.
#include "dispositivo/banco/banco.h"
#include "programma.h"
#include "verifica.h"

#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using banco::cicli_ms;
using banco::cicli_us;

struct SuChip {
    banco::Banco b{FIRMWARE};
    uint64_t inizio_risposta = 0;
    std::vector<std::pair<int, uint64_t>> inizi; // each crossing's first edge at the pin

    SuChip()
    {
        b.su_fronte = [this](int corsia, bool attiva, uint64_t ciclo) {
            if (attiva)
                inizi.emplace_back(corsia, ciclo);
        };
        b.esegui_per(cicli_ms(5)); // past the start-up
    }
    Byte scambia(const Byte &richiesta) { return b.scambia(richiesta, cicli_ms(200), &inizio_risposta); }
    int classico()
    {
        size_t prima = b.ricevuti().size();
        b.invia({0x20});
        b.esegui_per(cicli_ms(5));
        return b.ricevuti().size() == prima + 1 ? b.ricevuti()[prima].valore : -1;
    }
};
using Chip = Programma<SuChip>;

// Device ticks (0.5 us, 8 cycles) between two cycles; stamps apart, modulo 2^48.
static long long tick(uint64_t da, uint64_t a) { return static_cast<long long>((a - da + 4) / 8); }
static long long apart(uint64_t s1, uint64_t s2) { return static_cast<long long>((s2 - s1) & SPD_MASCHERA48); }

// Every stamp against the first, by the cycles at which the edges reached the pins.
static void stamp_esatti(const Chip &c, const std::vector<spd_passaggio> &v, int tolleranza)
{
    UGUALE(v.size(), c.inizi.size());
    for (size_t i = 0; i < v.size() && i < c.inizi.size(); ++i) {
        UGUALE(v[i].corsia, c.inizi[i].first);
        VICINO(apart(v[0].tempo, v[i].tempo), tick(c.inizi[0].second, c.inizi[i].second), tolleranza);
    }
}

static void un_millisecondo_agganciato()
{
    Chip c;
    UGUALE(c.classico(), 0xFF);
    uint64_t t = c.b.ciclo();
    c.b.passaggio(3, t + cicli_ms(20), cicli_ms(1));
    c.b.esegui_fino(t + cicli_ms(100));
    UGUALE(c.classico(), 0xF7);
    UGUALE(c.classico(), 0xFF);

    uint16_t ack = c.ciao().ultimo;
    t = c.b.ciclo();
    c.b.passaggio(5, t + cicli_ms(20), cicli_ms(1));
    c.b.esegui_fino(t + cicli_ms(100));
    spd_passaggi pp = c.interroga(ack);
    UGUALE(pp.n, 1);
    UGUALE(pp.v[0].corsia, 5);
    // The reply's time is the poll's arrival: before its first byte was out by that byte's
    // 1.04 ms plus the work on the request (at most 0.3 ms).
    long long scarto = tick(t + cicli_ms(20), c.inizio_risposta) - apart(pp.v[0].tempo, pp.p.tempo);
    VERIFICA(scarto >= 2083 && scarto <= 2083 + 600);
}

static void due_corsie_a_200_us()
{
    Chip c;
    uint16_t ack = c.ciao().ultimo;
    const uint64_t t = c.b.ciclo() + cicli_ms(10);
    const int coppie[3][2] = {{0, 7}, {1, 2}, {7, 6}}; // two ports, one port, the later lane first
    for (int i = 0; i < 3; ++i) {
        c.b.passaggio(coppie[i][0], t + cicli_ms(100) * i, cicli_ms(5));
        c.b.passaggio(coppie[i][1], t + cicli_ms(100) * i + cicli_us(200), cicli_ms(5));
    }
    c.b.esegui_fino(t + cicli_ms(300));
    std::vector<spd_passaggio> v = c.tutti(ack);
    stamp_esatti(c, v, 1);
    for (size_t i = 1; i < v.size(); i += 2)
        UGUALE(apart(v[i - 1].tempo, v[i].tempo), 400);
}

static void rimbalzi_filtrati()
{
    Chip c;
    uint16_t ack = c.ciao().ultimo;
    const uint64_t t = c.b.ciclo() + cicli_ms(10), chiusa = t + cicli_ms(100);
    c.b.passaggio(0, t, cicli_ms(2));
    const double fronti_ms[] = {0, 0.3, 0.5, 0.9, 1.2, 30, 30.2, 30.4}; // close, hold, open
    for (int i = 0; i < 8; ++i)
        c.b.linea(5, i % 2 == 0, chiusa + cicli_ms(fronti_ms[i]));
    c.b.esegui_fino(t + cicli_ms(200));
    std::vector<spd_passaggio> v = c.tutti(ack);
    UGUALE(c.inizi.size(), 5);
    UGUALE(v.size(), 2);
    if (v.size() == 2)
        VICINO(apart(v[0].tempo, v[1].tempo), tick(t, chiusa), 1);
}

static void giri_del_contatore()
{
    Chip c;
    uint16_t ack = c.ciao().ultimo;
    // A first crossing gives the counter's phase, hence when it wraps.
    const uint64_t t = c.b.ciclo() + cicli_ms(5), giro = 65536ull * 8;
    c.b.passaggio(0, t, cicli_ms(1));
    c.b.esegui_fino(t + cicli_ms(10));
    std::vector<spd_passaggio> v = c.tutti(ack);
    UGUALE(v.size(), 1);
    if (v.size() != 1)
        return;
    const uint64_t primo = t + (65536 - v[0].tempo % 65536) * 8 + 2 * giro;
    // Edges from 20 ticks before a wrap to 19 after: the stamp is read before the wrap,
    // after it with the overflow still pending, or once the overflow was served.
    for (int n = 0; n < 40; ++n)
        c.b.passaggio(1 + n % 7, primo + n * giro + (n - 20) * 8 + n % 8, cicli_ms(1));
    c.b.esegui_fino(primo + 41 * giro);
    std::vector<spd_passaggio> giri = c.tutti(ack);
    giri.insert(giri.begin(), v[0]);
    // Up to 3 us late when an edge meets the overflow being served; a lost or doubled
    // wrap would be 65536 ticks off.
    stamp_esatti(c, giri, 8);

    // The 48-bit time wraps too: the software count set three overflows short of it.
    const uint64_t meta = c.b.ciclo() + giro - (c.b.ciclo() - primo) % giro + giro / 2;
    c.b.esegui_fino(meta);
    uint32_t quasi = 0xFFFFFFFD;
    VERIFICA(c.b.scrivi_variabile("saettino_tempo_alto", &quasi, sizeof quasi));
    c.inizi.clear();
    for (int n = 0; n < 8; ++n)
        c.b.passaggio(n, meta + giro / 4 + n * giro, cicli_ms(1));
    c.b.esegui_fino(meta + 9 * giro);
    UGUALE(c.ciao().versione, 1); // its clock leapt years ahead: it took the program for gone
    std::vector<spd_passaggio> oltre = c.tutti(ack);
    stamp_esatti(c, oltre, 8);
    VERIFICA(oltre.size() == 8 && oltre[7].tempo < oltre[0].tempo);
}

static void rumore_e_uscite()
{
    Chip c;
    uint16_t ack = c.ciao().ultimo;
    c.b.passaggio(2, c.b.ciclo() + cicli_ms(1), cicli_ms(1));
    Byte rumore = {0x00, SPD_INIZIO, 0x99, 0x20, SPD_INIZIO, 0x05, 'P', 0x01}, rotto = trama(spd_chiedi_interroga, ack, 6);
    for (std::mt19937 caso(7); rumore.size() < 70;)
        rumore.push_back(static_cast<uint8_t>(caso()));
    rotto[4] ^= 0x10;
    rumore.insert(rumore.end(), rotto.begin(), rotto.end());
    VERIFICA(c.b.scambia(rumore, cicli_ms(50)).empty());
    spd_passaggi pp = c.interroga(ack);
    UGUALE(pp.n, 1); // still extended, the crossing once
    UGUALE(c.interroga(pp.v[0].numero).n, 0);

    for (uint8_t luci : {0x15, 0x0A}) {
        UGUALE(c.chiedi(trama(spd_chiedi_uscite, luci, luci & 1)), 'o');
        c.b.esegui_per(cicli_ms(1));
        UGUALE(c.b.porta('C') & 0x3F, luci | (luci & 1) << 5);
    }
}

static void reset_notato()
{
    Chip c;
    spd_identita prima = c.ciao();
    c.b.esegui_per(cicli_ms(500));
    const uint64_t orologio = c.interroga(prima.ultimo).p.tempo;
    c.b.reset();
    c.b.esegui_per(cicli_ms(20));
    UGUALE(c.chiedi(trama(spd_chiedi_interroga, prima.ultimo, 6)), 'e');
    UGUALE(c.errore(), SPD_ERR_CLASSICO);
    spd_identita dopo = c.ciao();
    UGUALE(dopo.avvio, prima.avvio + 1);
    VERIFICA(dopo.p.tempo < orologio / 4); // its clock started again
}

struct SuTerminale {
    int porta = -1;
    uint8_t memoria[SPD_TRAMA_MAX];
    spd_decodificatore d;
    SuTerminale() { spd_decodificatore_avvia(&d, memoria, sizeof memoria); }
    Byte scambia(const Byte &richiesta)
    {
        if (write(porta, richiesta.data(), richiesta.size()) != static_cast<ssize_t>(richiesta.size()))
            return {};
        for (pollfd p = {porta, POLLIN, 0}; poll(&p, 1, 300) > 0 && !(p.revents & POLLHUP);) {
            uint8_t c;
            while (read(porta, &c, 1) == 1)
                if (spd_ricevi(&d, c))
                    return Byte(d.buf, d.buf + d.pronta);
        }
        return {};
    }
};

// saettino-banco with crossings and a reset from a script.
static void banco_su_terminale()
{
    char cartella[] = "/tmp/saettino-banco-XXXXXX";
    VERIFICA(mkdtemp(cartella));
    const std::string com = std::string(cartella) + "/com", copione = std::string(cartella) + "/passaggi";
    std::ofstream(copione) << "# corsia istante durata\n3 1000 40\n5 1000.2 40\n3 2500 40\nreset 3000\n1 3500 40\n";
    int tubo[2];
    VERIFICA(pipe(tubo) == 0);
    const double partenza = banco::monotonic_s();
    pid_t figlio = fork();
    if (figlio == 0) {
        dup2(tubo[1], STDOUT_FILENO);
        dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
        execl(BANCO, BANCO, "--elf", FIRMWARE, "--collegamento", com.c_str(), "--passaggi",
              copione.c_str(), "--durata", "6000", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(tubo[1]);
    Programma<SuTerminale> p;
    while ((p.porta = open(com.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) < 0 && banco::monotonic_s() < partenza + 5)
        usleep(10000);
    termios t;
    VERIFICA(tcgetattr(p.porta, &t) == 0);
    cfmakeraw(&t);
    tcsetattr(p.porta, TCSANOW, &t);

    // HELLO until answered (again after the reset), then a poll every 50 ms.
    std::vector<std::pair<uint32_t, spd_passaggio>> visti; // boot, crossing
    bool esteso = false;
    uint32_t avvio = 0;
    uint16_t ack = 0;
    int stato = -1;
    while (waitpid(figlio, &stato, WNOHANG) == 0) {
        if (!esteso) {
            spd_identita id = p.ciao();
            esteso = id.versione == SPD_VERSIONE;
            if (esteso && id.avvio != avvio) // at first only what comes next; after a reset, all
                ack = avvio ? 0 : id.ultimo;
            avvio = esteso ? id.avvio : avvio;
            continue;
        }
        spd_passaggi pp = p.interroga(ack);
        esteso = pp.n != 0xFF || p.errore() != SPD_ERR_CLASSICO;
        for (uint8_t k = 0; pp.n != 0xFF && k < pp.n; ++k)
            if (static_cast<uint16_t>(pp.v[k].numero - ack) == 1) {
                ack = pp.v[k].numero;
                visti.emplace_back(avvio, pp.v[k]);
            }
        usleep(50000);
    }
    close(p.porta);

    std::string righe;
    char buf[4096];
    for (ssize_t n; (n = read(tubo[0], buf, sizeof buf)) > 0;)
        righe.append(buf, static_cast<size_t>(n));
    close(tubo[0]);
    std::vector<std::pair<int, double>> istanti; // lane, simulated ms
    int corsia;
    double previsto, simulato;
    for (size_t a = 0; (a = righe.find("\npassaggio ", a)) != std::string::npos; ++a)
        if (std::sscanf(righe.c_str() + a, "\npassaggio %d %lf %lf", &corsia, &previsto, &simulato) == 3) {
            VICINO(simulato * 1000, previsto * 1000, 1); // in µs
            istanti.emplace_back(corsia, simulato);
        }
    VERIFICA(WIFEXITED(stato) && WEXITSTATUS(stato) == 0);
    VERIFICA(righe.rfind("pronto ", 0) == 0 && righe.find("\nfine ") != std::string::npos);
    struct stat st;
    VERIFICA(lstat(com.c_str(), &st) != 0);              // the link went with the bench
    VERIFICA(banco::monotonic_s() - partenza >= 6);      // paced: never ahead of the clock

    // Every crossing once, in order, the reset as a new boot; within a boot, stamps apart
    // exactly as the crossings were: 2000 ticks a millisecond.
    UGUALE(istanti.size(), 4);
    UGUALE(visti.size(), 4);
    if (istanti.size() != 4 || visti.size() != 4)
        return;
    UGUALE(visti[3].first, visti[2].first + 1);
    UGUALE(visti[2].first, visti[0].first);
    for (size_t i = 0; i < 4; ++i)
        UGUALE(visti[i].second.corsia + 1, istanti[i].first);
    for (size_t i : {1, 2})
        VICINO((visti[i].second.tempo - visti[0].second.tempo) & SPD_MASCHERA48,
               (istanti[i].second - istanti[0].second) * 2000, 2);
    unlink(copione.c_str());
    rmdir(cartella);
}

int main()
{
    return esegui({
        {"1 ms agganciato nei due protocolli", un_millisecondo_agganciato},
        {"due corsie a 200 us", due_corsie_a_200_us},
        {"rimbalzi filtrati", rimbalzi_filtrati},
        {"giri del contatore", giri_del_contatore},
        {"rumore e uscite", rumore_e_uscite},
        {"reset notato", reset_notato},
        {"banco su terminale", banco_su_terminale},
    });
}
