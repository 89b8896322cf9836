#pragma once
// Plain checks for the device's suites (no Qt on this side): every failed check is printed
// with its values, each group says ok or FALLITO, the exit code says whether any failed.
#include <cstdio>
#include <initializer_list>
#include <utility>

inline int falliti = 0;
inline void fallito(int riga, const char *testo, long long a, long long b)
{
    ++falliti;
    std::fprintf(stderr, "riga %d: %s: %lld, atteso %lld\n", riga, testo, a, b);
}
#define VICINO(a, b, tolleranza) \
    do { \
        long long va_ = static_cast<long long>(a), vb_ = static_cast<long long>(b); \
        if (va_ - vb_ > (tolleranza) || vb_ - va_ > (tolleranza)) fallito(__LINE__, #a, va_, vb_); \
    } while (0)
#define UGUALE(a, b) VICINO(a, b, 0)
#define VERIFICA(c) UGUALE(static_cast<bool>(c), true)

inline int esegui(std::initializer_list<std::pair<const char *, void (*)()>> gruppi)
{
    for (auto &g : gruppi) {
        int prima = falliti;
        g.second();
        std::printf("%s %s\n", falliti == prima ? "ok     " : "FALLITO", g.first);
    }
    return falliti ? 1 : 0;
}
