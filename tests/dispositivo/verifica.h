#pragma once
// Plain checks for the device's suites (no Qt on this side): each group runs, every
// failed check is printed with its values, and the exit code says whether any failed.
#include <cstdio>
#include <initializer_list>
#include <utility>

namespace verifica {
inline int falliti = 0;
inline const char *gruppo = "";

inline void fallito(const char *file, int riga, const char *testo, long long a, long long b)
{
    ++falliti;
    std::fprintf(stderr, "%s:%d [%s] %s: %lld, atteso %lld\n", file, riga, gruppo, testo, a, b);
}

inline int esegui(std::initializer_list<std::pair<const char *, void (*)()>> gruppi)
{
    for (auto &g : gruppi) {
        int prima = falliti;
        gruppo = g.first;
        g.second();
        std::printf("%s %s\n", falliti == prima ? "ok     " : "FALLITO", g.first);
    }
    return falliti ? 1 : 0;
}
} // namespace verifica

#define VERIFICA(c) \
    do { if (!(c)) verifica::fallito(__FILE__, __LINE__, #c, 0, 1); } while (0)
#define UGUALE(a, b) \
    do { \
        long long va_ = static_cast<long long>(a), vb_ = static_cast<long long>(b); \
        if (va_ != vb_) verifica::fallito(__FILE__, __LINE__, #a, va_, vb_); \
    } while (0)
#define VICINO(a, b, tolleranza) \
    do { \
        long long va_ = static_cast<long long>(a), vb_ = static_cast<long long>(b); \
        if (va_ - vb_ > (tolleranza) || vb_ - va_ > (tolleranza)) \
            verifica::fallito(__FILE__, __LINE__, #a, va_, vb_); \
    } while (0)
