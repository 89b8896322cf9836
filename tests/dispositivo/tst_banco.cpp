// saettino-banco as an end-to-end test will drive it: the chip on a pseudo-terminal in real
// time, crossings from a script, a reset among them, and the program's side played here
// over the terminal. What is checked are the simulated-time quantities, exact whatever the
// machine's load: the stamps against the instants the bench reports.
#include "dispositivo/protocollo/protocollo.h"
#include "verifica.h"

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "dispositivo/banco/banco.h"

namespace {

struct Istante {
    int corsia;
    double previsto, simulato;
};

struct Visto {
    uint32_t avvio;
    spd_passaggio p;
};

void scrivi(int fd, uint8_t (*fai)(uint8_t *, uint16_t, uint8_t), uint16_t ack = 0, uint8_t max = 0)
{
    uint8_t b[SPD_TRAMA_MAX];
    uint8_t n = fai(b, ack, max);
    if (write(fd, b, n) != n)
        std::perror("write");
}

uint8_t ciao(uint8_t *b, uint16_t, uint8_t) { return spd_chiedi_ciao(b); }

} // namespace

static void banco_su_terminale()
{
    char cartella[] = "/tmp/saettino-banco-XXXXXX";
    VERIFICA(mkdtemp(cartella));
    const std::string collegamento = std::string(cartella) + "/com", copione = std::string(cartella) + "/passaggi";
    std::ofstream(copione) << "# corsia istante durata\n3 1000 40\n5 1000.2 40\n3 2500 40\nreset 3000\n1 3500 40\n";

    int tubo[2];
    VERIFICA(pipe(tubo) == 0);
    const double partenza = banco::monotonic_s();
    pid_t figlio = fork();
    if (figlio == 0) {
        dup2(tubo[1], STDOUT_FILENO);
        close(tubo[0]);
        int nulla = open("/dev/null", O_RDONLY);
        dup2(nulla, STDIN_FILENO);
        execl(BANCO, BANCO, "--elf", FIRMWARE, "--collegamento", collegamento.c_str(), "--passaggi",
              copione.c_str(), "--durata", "4500", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(tubo[1]);
    std::string righe;
    char c;
    while (righe.find('\n') == std::string::npos && read(tubo[0], &c, 1) == 1)
        righe += c;
    VERIFICA(righe.rfind("pronto ", 0) == 0);
    fcntl(tubo[0], F_SETFL, O_NONBLOCK);

    int porta = open(collegamento.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    VERIFICA(porta >= 0);
    termios t;
    tcgetattr(porta, &t);
    cfmakeraw(&t);
    tcsetattr(porta, TCSANOW, &t);

    // The program's part: HELLO until answered, then a poll every 50 ms.
    uint8_t memoria[SPD_TRAMA_MAX];
    spd_decodificatore d;
    spd_decodificatore_avvia(&d, memoria, sizeof memoria);
    std::vector<Visto> visti;
    std::vector<Istante> istanti;
    std::string ultima;
    bool esteso = false, conosciuto = false;
    uint32_t avvio = 0;
    uint16_t ack = 0;
    double prossima = 0;
    for (bool vivo = true; vivo;) {
        double ora = banco::monotonic_s();
        if (ora >= prossima) {
            if (esteso)
                scrivi(porta, spd_chiedi_interroga, ack, SPD_PASSAGGI_MAX);
            else
                scrivi(porta, ciao);
            prossima = ora + (esteso ? 0.05 : 0.3);
        }
        pollfd p[2] = {{porta, POLLIN, 0}, {tubo[0], POLLIN, 0}};
        poll(p, 2, 10);
        uint8_t buf[256];
        ssize_t n;
        while ((n = read(porta, buf, sizeof buf)) > 0)
            for (ssize_t i = 0; i < n; ++i) {
                if (!spd_ricevi(&d, buf[i]))
                    continue;
                const uint8_t *pl = spd_payload(&d);
                uint8_t len = spd_lunghezza(&d);
                spd_identita id;
                spd_passaggi pp;
                if (spd_tipo(&d) == SPD_R_IDENTITA && spd_leggi_identita(pl, len, &id)) {
                    esteso = true;
                    if (!conosciuto || id.avvio != avvio)
                        ack = id.ultimo; // a new boot: its numbering starts afresh
                    avvio = id.avvio;
                    conosciuto = true;
                } else if (spd_tipo(&d) == SPD_R_ERRORE && pl[SPD_PREFISSO + 1] == SPD_ERR_CLASSICO) {
                    esteso = false;
                    prossima = 0;
                } else if (spd_tipo(&d) == SPD_R_PASSAGGI && spd_leggi_passaggi(pl, len, &pp)) {
                    for (uint8_t k = 0; k < pp.n; ++k)
                        if (static_cast<uint16_t>(pp.v[k].numero - ack) == 1) {
                            visti.push_back({avvio, pp.v[k]});
                            ack = pp.v[k].numero;
                        }
                }
            }
        while ((n = read(tubo[0], buf, sizeof buf)) > 0)
            righe.append(reinterpret_cast<char *>(buf), static_cast<size_t>(n));
        vivo = n != 0;
        for (size_t a; (a = righe.find('\n')) != std::string::npos; righe.erase(0, a + 1)) {
            std::istringstream in(righe.substr(0, a));
            std::string parola;
            Istante i;
            if (in >> parola && parola == "passaggio" && in >> i.corsia >> i.previsto >> i.simulato)
                istanti.push_back(i);
            ultima = righe.substr(0, a);
        }
    }
    int stato = -1;
    waitpid(figlio, &stato, 0);
    close(porta);
    close(tubo[0]);

    UGUALE(WIFEXITED(stato) && WEXITSTATUS(stato) == 0, 1);
    VERIFICA(ultima.rfind("fine ", 0) == 0);
    struct stat st;
    VERIFICA(lstat(collegamento.c_str(), &st) != 0); // the link went with the bench
    VERIFICA(banco::monotonic_s() - partenza >= 4.5); // paced, never ahead of the clock

    // Every crossing, once, in order; the reset seen as a new boot.
    UGUALE(istanti.size(), 4);
    UGUALE(visti.size(), 4);
    if (istanti.size() != 4 || visti.size() != 4)
        return;
    UGUALE(visti[3].avvio, visti[0].avvio + 1);
    UGUALE(visti[2].avvio, visti[0].avvio);
    for (size_t i = 0; i < 4; ++i) {
        UGUALE(visti[i].p.corsia + 1, istanti[i].corsia);
        VICINO(istanti[i].simulato * 1000, istanti[i].previsto * 1000, 1); // in µs
    }
    // Within a boot, stamps apart exactly as the crossings were: 2000 ticks a millisecond.
    for (size_t i : {1, 2})
        VICINO((visti[i].p.tempo - visti[0].p.tempo) & SPD_MASCHERA48,
               (istanti[i].simulato - istanti[0].simulato) * 2000, 2);
    unlink(copione.c_str());
    rmdir(cartella);
}

int main()
{
    return verifica::esegui({{"banco su terminale", banco_su_terminale}});
}
