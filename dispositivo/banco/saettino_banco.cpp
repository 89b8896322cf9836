// saettino-banco: the timing device's firmware on a simulated chip, on a pseudo-terminal,
// with crossings driven at exact instants and reported with the wall clock's time, so a
// test can hold the program's laps against them.
#include "banco.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const char *const AIUTO =
    "Uso: saettino-banco --elf FILE --collegamento PERCORSO [opzioni]\n"
    "Fa girare il firmware del dispositivo di cronometraggio su un ATmega328P simulato, con la\n"
    "seriale su un terminale virtuale al passo del tempo reale.\n"
    "  --elf FILE          il firmware (.elf), lo stesso che si scrive sulla scheda\n"
    "  --collegamento P    collegamento simbolico al terminale (ad es. /tmp/com1)\n"
    "  --passaggi FILE     righe \"CORSIA ISTANTE_MS DURATA_MS\" (corsia da 1 a 8) e\n"
    "                      \"reset ISTANTE_MS\"; # commenta\n"
    "  --via               gli istanti contano dalla riga \"via\" sullo standard input\n"
    "                      (altrimenti dall'accensione del chip)\n"
    "  --durata MS         finisce MS dopo l'origine (predefinita: 2000 dopo l'ultimo\n"
    "                      evento; senza eventi, alla riga \"fine\", a Ctrl-C o a SIGTERM)\n"
    "  --classico          il chip non riceve mai l'inizio di una trama (0xA5): risponde a ogni\n"
    "                      byte con un byte di stato, come un dispositivo del solo protocollo classico\n"
    "  --diagnostica       i messaggi del simulatore su standard error\n"
    "Standard input: \"via\", \"reset\", \"fine\", o una riga di passaggio come nel file.\n"
    "Standard output, una riga per evento (tempi in secondi, simulato in ms dall'origine):\n"
    "  pronto TERMINALE COLLEGAMENTO\n"
    "  via MONOTONIC REALTIME\n"
    "  passaggio CORSIA PREVISTO_MS SIMULATO_MS CICLO MONOTONIC REALTIME\n"
    "  reset SIMULATO_MS MONOTONIC REALTIME\n"
    "  fine RITARDO_MASSIMO_MS\n";

volatile std::sig_atomic_t fermati = 0;
void al_segnale(int) { fermati = 1; }

struct Evento {
    int corsia;       // 1-8, 0 = reset
    double istante;   // ms from the origin
    double durata;
};

bool leggi_evento(const std::string &riga, Evento &e)
{
    std::istringstream in(riga);
    std::string primo;
    if (!(in >> primo) || primo[0] == '#')
        return false;
    if (primo == "reset") {
        e = {0, 0, 0};
        return static_cast<bool>(in >> e.istante) && e.istante >= 0;
    }
    e.corsia = std::atoi(primo.c_str());
    return e.corsia >= 1 && e.corsia <= 8 && (in >> e.istante >> e.durata) && e.istante >= 0
        && e.durata > 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::string elf, collegamento, passaggi;
    bool via = false, diagnostica = false, classico = false;
    double durata = -1;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool valore = i + 1 < argc;
        if (a == "--elf" && valore) elf = argv[++i];
        else if (a == "--collegamento" && valore) collegamento = argv[++i];
        else if (a == "--passaggi" && valore) passaggi = argv[++i];
        else if (a == "--durata" && valore) durata = std::atof(argv[++i]);
        else if (a == "--via") via = true;
        else if (a == "--diagnostica") diagnostica = true;
        else if (a == "--classico") classico = true;
        else if (a == "--help" || a == "-h") { std::fputs(AIUTO, stdout); return 0; }
        else { std::fprintf(stderr, "saettino-banco: opzione non valida: %s\n%s", a.c_str(), AIUTO); return 2; }
    }
    if (elf.empty() || collegamento.empty()) {
        std::fputs(AIUTO, stderr);
        return 2;
    }

    std::vector<Evento> eventi;
    if (!passaggi.empty()) {
        std::ifstream f(passaggi);
        if (!f) {
            std::fprintf(stderr, "saettino-banco: impossibile leggere %s\n", passaggi.c_str());
            return 1;
        }
        std::string riga;
        int n = 0;
        while (std::getline(f, riga)) {
            ++n;
            Evento e;
            if (leggi_evento(riga, e))
                eventi.push_back(e);
            else if (riga.find_first_not_of(" \t\r") != std::string::npos && riga[riga.find_first_not_of(" \t\r")] != '#')
                std::fprintf(stderr, "saettino-banco: %s:%d: riga ignorata: %s\n", passaggi.c_str(), n, riga.c_str());
        }
    }
    if (durata < 0 && !eventi.empty()) {
        durata = 0;
        for (const Evento &e : eventi)
            durata = std::max(durata, e.istante + e.durata + 2000);
    }

    // Our report keeps the real standard output; simavr's own chatter goes elsewhere.
    std::FILE *rapporto = fdopen(dup(STDOUT_FILENO), "w");
    int altrove = diagnostica ? dup(STDERR_FILENO) : open("/dev/null", O_WRONLY);
    dup2(altrove, STDOUT_FILENO);
    close(altrove);

    banco::Banco b(elf);
    if (!b.valido()) {
        std::fprintf(stderr, "saettino-banco: %s\n", b.errore().c_str());
        return 1;
    }
    banco::PontePty ponte(b, collegamento);
    if (!ponte.valido()) {
        std::fprintf(stderr, "saettino-banco: %s\n", ponte.errore().c_str());
        return 1;
    }
    ponte.solo_classico = classico;
    std::signal(SIGINT, al_segnale);
    std::signal(SIGTERM, al_segnale);
    // Ahead of a busy machine, so the chip keeps to the wall clock; refused without rights.
    setpriority(PRIO_PROCESS, 0, -10);

    bool partito = false;
    uint64_t origine = 0;
    std::vector<std::pair<uint64_t, double>> attese; // cycle of each crossing's start, planned ms
    std::vector<uint64_t> reset;
    auto sim_ms = [&](uint64_t ciclo) { return static_cast<double>(ciclo - origine) * 1000.0 / banco::FREQUENZA; };
    auto programma = [&](const Evento &e) {
        uint64_t inizio = origine + banco::cicli_ms(e.istante);
        if (e.corsia == 0) {
            reset.push_back(inizio);
            return;
        }
        attese.emplace_back(inizio, e.istante);
        b.passaggio(e.corsia - 1, inizio, banco::cicli_ms(e.durata));
    };
    auto parti = [&] {
        partito = true;
        origine = b.ciclo();
        std::fprintf(rapporto, "via %.9f %.9f\n", banco::monotonic_s(), banco::realtime_s());
        for (const Evento &e : eventi)
            programma(e);
        std::fflush(rapporto);
    };
    b.su_fronte = [&](int corsia, bool attiva, uint64_t ciclo) {
        if (!attiva)
            return;
        double previsto = -1;
        // The edge meets the core at the first instruction boundary from its planned cycle.
        for (auto a = attese.begin(); a != attese.end(); ++a)
            if (a->first <= ciclo && ciclo - a->first < 16) {
                previsto = a->second;
                attese.erase(a);
                break;
            }
        std::fprintf(rapporto, "passaggio %d %.3f %.6f %llu %.9f %.9f\n", corsia + 1, previsto,
                     sim_ms(ciclo), static_cast<unsigned long long>(ciclo), banco::monotonic_s(),
                     banco::realtime_s());
        std::fflush(rapporto);
    };

    std::fprintf(rapporto, "pronto %s %s\n", ponte.terminale().c_str(), collegamento.c_str());
    std::fflush(rapporto);
    if (!via)
        parti();

    bool finito = false;
    bool leggi_ingresso = true;
    std::string riga_in;
    auto ogni_passo = [&] {
        for (auto r = reset.begin(); r != reset.end();) {
            if (*r > b.ciclo()) { ++r; continue; }
            b.reset();
            std::fprintf(rapporto, "reset %.6f %.9f %.9f\n", sim_ms(b.ciclo()), banco::monotonic_s(), banco::realtime_s());
            std::fflush(rapporto);
            r = reset.erase(r);
        }
        if (partito && durata >= 0 && b.ciclo() >= origine + banco::cicli_ms(durata))
            finito = true;
        pollfd p = {STDIN_FILENO, POLLIN, 0};
        if (!leggi_ingresso || poll(&p, 1, 0) <= 0)
            return;
        char buf[256];
        ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            leggi_ingresso = false; // end of input: carry on with what was planned
            return;
        }
        riga_in.append(buf, static_cast<size_t>(n));
        size_t a_capo;
        while ((a_capo = riga_in.find('\n')) != std::string::npos) {
            std::string riga = riga_in.substr(0, a_capo);
            riga_in.erase(0, a_capo + 1);
            Evento e;
            if (riga == "via" && !partito) parti();
            else if (riga == "fine") finito = true;
            else if (riga == "reset") reset.push_back(b.ciclo());
            else if (partito && leggi_evento(riga, e)) programma(e);
            else std::fprintf(stderr, "saettino-banco: comando non valido: %s\n", riga.c_str());
        }
    };
    ponte.esegui([&] { return finito || fermati; }, ogni_passo);

    std::fprintf(rapporto, "fine %.3f\n", ponte.ritardo_max_ms());
    std::fclose(rapporto);
    return 0;
}
