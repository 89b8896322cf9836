/* Frames of the timing device's extended protocol (docs/protocollo-dispositivo.md):
 * checksum, encoding and decoding of every request and reply. Plain C99 with no
 * allocation, compiled by the firmware (avr-gcc) and by the program (as C, linked
 * from C++), so both sides read and write the same bytes. */
#ifndef SAETTINO_PROTOCOLLO_H
#define SAETTINO_PROTOCOLLO_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SPD_INIZIO 0xA5u
#define SPD_VERSIONE 1u
#define SPD_PAYLOAD_MAX 64u            /* longest payload from the device */
#define SPD_RICHIESTA_PAYLOAD_MAX 8u   /* longest payload from the program */
#define SPD_TRAMA(payload) ((payload) + 5u)
#define SPD_TRAMA_MAX SPD_TRAMA(SPD_PAYLOAD_MAX)
#define SPD_PASSAGGI_MAX 6u            /* crossings in one reply */
#define SPD_PREFISSO 7u                /* line states + device time, in every reply */
#define SPD_IDENTITA_PAYLOAD 49u
#define SPD_NOME 24u
#define SPD_TEMPO_MORTO_MAX_MS 10000u
#define SPD_SILENZIO_MS 10u            /* a frame interrupted this long is abandoned */
#define SPD_MASCHERA48 0xFFFFFFFFFFFFull

/* Request types (program -> device) and reply types (device -> program). */
enum {
    SPD_CIAO = 'H', SPD_INTERROGA = 'P', SPD_USCITE = 'U', SPD_TEMPO_MORTO = 'M',
    SPD_CLASSICO = 'C',
    SPD_R_IDENTITA = 'h', SPD_R_PASSAGGI = 'p', SPD_R_FATTO = 'o', SPD_R_TEMPI_MORTI = 'm',
    SPD_R_ERRORE = 'e'
};

/* Error codes of an 'e' reply. */
enum {
    SPD_ERR_CLASSICO = 1, SPD_ERR_SCONOSCIUTA = 2, SPD_ERR_LUNGHEZZA = 3, SPD_ERR_VALORE = 4
};

/* CRC-16/CCITT-FALSE: polynomial 0x1021, start 0xFFFF. */
uint16_t spd_crc16_byte(uint16_t crc, uint8_t b);
uint16_t spd_crc16(const uint8_t *dati, uint8_t n);

/* Little-endian fields. */
void spd_metti16(uint8_t *p, uint16_t v);
void spd_metti32(uint8_t *p, uint32_t v);
void spd_metti48(uint8_t *p, uint64_t v);
uint16_t spd_prendi16(const uint8_t *p);
uint32_t spd_prendi32(const uint8_t *p);
uint64_t spd_prendi48(const uint8_t *p);

/* Writes a whole frame into `out` (room for SPD_TRAMA(n) bytes); returns its length. */
uint8_t spd_trama(uint8_t *out, uint8_t tipo, const uint8_t *payload, uint8_t n);

/* ---- Requests, written by the program ---- */
uint8_t spd_chiedi_ciao(uint8_t *out);
uint8_t spd_chiedi_interroga(uint8_t *out, uint16_t ack, uint8_t max);
uint8_t spd_chiedi_uscite(uint8_t *out, uint8_t luci, uint8_t rele);
uint8_t spd_chiedi_tempo_morto(uint8_t *out, uint8_t corsie, uint16_t ms);
uint8_t spd_chiedi_classico(uint8_t *out);

/* ---- Replies ---- */
typedef struct {
    uint8_t stato;     /* line states: bit k at 0 = lane k active */
    uint64_t tempo;    /* device time when the request was complete, 48 bits */
} spd_prefisso;

typedef struct {
    spd_prefisso p;
    uint8_t versione;
    uint8_t firmware[3];
    uint32_t avvio;         /* boot number */
    uint32_t tick_al_secondo;
    uint8_t corsie;
    uint8_t capacita;
    uint16_t ultimo;        /* latest sequence number given */
    uint8_t pendenti;
    uint8_t uscite;         /* bits 0-4 lights, bit 7 relay */
    char nome[SPD_NOME + 1];
} spd_identita;

typedef struct {
    uint16_t numero;
    uint8_t corsia;         /* 0-7 */
    uint64_t tempo;
} spd_passaggio;

typedef struct {
    spd_prefisso p;
    uint8_t pendenti;       /* still queued after these */
    uint8_t n;
    spd_passaggio v[SPD_PASSAGGI_MAX];
} spd_passaggi;

/* Written by the device. */
uint8_t spd_rispondi_identita(uint8_t *out, const spd_identita *id);
uint8_t spd_rispondi_passaggi(uint8_t *out, const spd_passaggi *pp);
uint8_t spd_rispondi_fatto(uint8_t *out, const spd_prefisso *p, uint8_t richiesta, uint8_t uscite);
uint8_t spd_rispondi_tempi_morti(uint8_t *out, const spd_prefisso *p, const uint16_t ms[8]);
uint8_t spd_rispondi_errore(uint8_t *out, const spd_prefisso *p, uint8_t richiesta, uint8_t codice);

/* Read by the program from a decoded frame; 0 when the payload does not fit the type. */
int spd_leggi_prefisso(const uint8_t *payload, uint8_t n, spd_prefisso *p);
int spd_leggi_identita(const uint8_t *payload, uint8_t n, spd_identita *id);
int spd_leggi_passaggi(const uint8_t *payload, uint8_t n, spd_passaggi *pp);

/* ---- Decoder ----
 * Bytes go in one at a time; a complete frame with a valid CRC comes out. A wrong length,
 * a wrong CRC or a silence inside a frame drops the first byte held and the search for a
 * start byte resumes in the bytes after it, so noise costs at most the frames it touches. */
typedef struct {
    uint8_t *buf;
    uint8_t capacita;     /* SPD_TRAMA(longest payload accepted) */
    uint8_t n;            /* bytes held */
    uint8_t pronta;       /* length of the complete frame at the front, 0 if none */
} spd_decodificatore;

void spd_decodificatore_avvia(spd_decodificatore *d, uint8_t *buf, uint8_t capacita);
/* Each returns 1 when a frame is ready (read it with spd_tipo/spd_payload/spd_lunghezza);
 * the next call drops it first. */
int spd_ricevi(spd_decodificatore *d, uint8_t b);
int spd_ancora(spd_decodificatore *d);       /* a further frame already held? */
int spd_silenzio(spd_decodificatore *d);     /* the line went quiet: give up partial frames */
int spd_in_corso(const spd_decodificatore *d); /* bytes of an unfinished frame held */
uint8_t spd_tipo(const spd_decodificatore *d);
const uint8_t *spd_payload(const spd_decodificatore *d);
uint8_t spd_lunghezza(const spd_decodificatore *d);

#ifdef __cplusplus
}
#endif

#endif
