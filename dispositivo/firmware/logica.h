/* What the timing device does with its lines and its serial link, free of any register:
 * the AVR side (principale.c) stamps edges and moves bytes, this decides what they mean.
 * Plain C, so the host's tests run exactly this code. */
#ifndef SAETTINO_LOGICA_H
#define SAETTINO_LOGICA_H

#include <stdint.h>

#include "dispositivo/protocollo/protocollo.h"

#ifdef __cplusplus
extern "C" {
#endif

#define LOG_FIRMWARE_MAGGIORE 1
#define LOG_FIRMWARE_MINORE 0
#define LOG_FIRMWARE_CORREZIONE 0
#define LOG_NOME "SaettinoPro cronometro"

#define LOG_CORSIE 8u
#define LOG_CODA 64u                       /* crossings kept until acknowledged */
#define LOG_TICK_AL_SECONDO 2000000ul      /* Timer1 at 16 MHz / 8 */
#define LOG_TICK_MS 2000ul
#define LOG_TEMPO_MORTO_MS 50u
#define LOG_ABBANDONO_TICK (5ul * LOG_TICK_AL_SECONDO) /* no valid frame: back to classic */

typedef uint64_t log_tempo;                /* ticks; 48 bits significant */

/* The high part of a Timer1 reading taken with interrupts off: `alto` counts the
 * overflows served so far. An overflow still pending belongs to the reading only when the
 * counter was read after it wrapped (a small value), not just before it (near 0xFFFF). */
static inline uint32_t log_alto_corretto(uint32_t alto, uint16_t basso, uint8_t traboccato)
{
    return (traboccato && basso < 0x8000u) ? alto + 1u : alto;
}

static inline log_tempo log_tempo_di(uint32_t alto, uint16_t basso)
{
    return ((log_tempo)alto << 16) | basso;
}

typedef struct {
    uint16_t numero;
    uint8_t corsia;
    uint8_t tempo[6];
} log_voce;

typedef struct {
    /* Lines: bit k = lane k, 1 = active. */
    uint8_t attivi;
    uint8_t agganciati;        /* crossings begun since the last classic answer */
    uint8_t mai;               /* lanes with no edge since the start */
    log_tempo ultimo_fronte[LOG_CORSIE];
    uint16_t morto_ms[LOG_CORSIE];

    /* Crossings not yet acknowledged, oldest at `primo`. */
    log_voce coda[LOG_CODA];
    uint8_t primo;
    uint8_t quanti;
    uint16_t ultimo;           /* number given to the latest crossing */

    /* The link. */
    uint8_t esteso;
    log_tempo ultimo_byte;
    log_tempo ultima_trama;
    spd_decodificatore dec;
    uint8_t buf[SPD_TRAMA(SPD_RICHIESTA_PAYLOAD_MAX)];

    uint32_t avvio;            /* boot number */
    uint8_t luci;              /* start lights, bits 0-4 */
    uint8_t rele;
} logica;

void logica_avvia(logica *l, uint32_t avvio, uint8_t attivi, log_tempo adesso);

/* The lanes in `maschera` now read `attivi`, as stamped at `t` (in stamping order). */
void logica_linee(logica *l, uint8_t attivi, uint8_t maschera, log_tempo t);

/* A received byte; writes the answer into `out` (SPD_TRAMA_MAX bytes) and returns its
 * length, 0 for none. */
uint8_t logica_byte(logica *l, uint8_t b, log_tempo adesso, uint8_t *out);

/* Called between bytes: abandons interrupted frames, falls back to the classic protocol
 * when the program has gone. May answer a frame found meanwhile. */
uint8_t logica_passo(logica *l, log_tempo adesso, uint8_t *out);

#ifdef __cplusplus
}
#endif

#endif
