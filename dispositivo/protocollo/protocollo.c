#include "protocollo.h"

#include <string.h>

uint16_t spd_crc16_byte(uint16_t crc, uint8_t b)
{
    /* The byte-wise form of the 0x1021 polynomial: no table, about 20 AVR cycles a byte. */
    crc = (uint16_t)((crc >> 8) | (crc << 8));
    crc ^= b;
    crc ^= (uint8_t)(crc & 0xFF) >> 4;
    crc ^= (uint16_t)(crc << 12);
    crc ^= (uint16_t)((crc & 0xFF) << 5);
    return crc;
}

uint16_t spd_crc16(const uint8_t *dati, uint8_t n)
{
    uint16_t crc = 0xFFFF;
    while (n--)
        crc = spd_crc16_byte(crc, *dati++);
    return crc;
}

void spd_metti16(uint8_t *p, uint16_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

void spd_metti32(uint8_t *p, uint32_t v)
{
    spd_metti16(p, (uint16_t)v);
    spd_metti16(p + 2, (uint16_t)(v >> 16));
}

void spd_metti48(uint8_t *p, uint64_t v)
{
    spd_metti32(p, (uint32_t)v);
    spd_metti16(p + 4, (uint16_t)(v >> 32));
}

uint16_t spd_prendi16(const uint8_t *p)
{
    return (uint16_t)(p[0] | (p[1] << 8));
}

uint32_t spd_prendi32(const uint8_t *p)
{
    return spd_prendi16(p) | ((uint32_t)spd_prendi16(p + 2) << 16);
}

uint64_t spd_prendi48(const uint8_t *p)
{
    return spd_prendi32(p) | ((uint64_t)spd_prendi16(p + 4) << 32);
}

uint8_t spd_trama(uint8_t *out, uint8_t tipo, const uint8_t *payload, uint8_t n)
{
    out[0] = SPD_INIZIO;
    out[1] = n;
    out[2] = tipo;
    if (n && payload != out + 3)
        memmove(out + 3, payload, n);
    spd_metti16(out + 3 + n, spd_crc16(out + 1, (uint8_t)(n + 2)));
    return (uint8_t)SPD_TRAMA(n);
}

uint8_t spd_chiedi_ciao(uint8_t *out)
{
    return spd_trama(out, SPD_CIAO, 0, 0);
}

uint8_t spd_chiedi_interroga(uint8_t *out, uint16_t ack, uint8_t max)
{
    uint8_t p[3];
    spd_metti16(p, ack);
    p[2] = max;
    return spd_trama(out, SPD_INTERROGA, p, 3);
}

uint8_t spd_chiedi_uscite(uint8_t *out, uint8_t luci, uint8_t rele)
{
    uint8_t p[2] = { luci, rele };
    return spd_trama(out, SPD_USCITE, p, 2);
}

uint8_t spd_chiedi_tempo_morto(uint8_t *out, uint8_t corsie, uint16_t ms)
{
    uint8_t p[3];
    p[0] = corsie;
    spd_metti16(p + 1, ms);
    return spd_trama(out, SPD_TEMPO_MORTO, p, 3);
}

uint8_t spd_chiedi_classico(uint8_t *out)
{
    return spd_trama(out, SPD_CLASSICO, 0, 0);
}

/* Replies are built in place, after the three header bytes of `out`. */
static uint8_t *metti_prefisso(uint8_t *out, const spd_prefisso *p)
{
    uint8_t *q = out + 3;
    q[0] = p->stato;
    spd_metti48(q + 1, p->tempo);
    return q + SPD_PREFISSO;
}

static uint8_t chiudi(uint8_t *out, uint8_t tipo, const uint8_t *fine)
{
    return spd_trama(out, tipo, out + 3, (uint8_t)(fine - (out + 3)));
}

uint8_t spd_rispondi_identita(uint8_t *out, const spd_identita *id)
{
    uint8_t *q = metti_prefisso(out, &id->p);
    *q++ = id->versione;
    memcpy(q, id->firmware, 3);
    q += 3;
    spd_metti32(q, id->avvio);
    spd_metti32(q + 4, id->tick_al_secondo);
    q += 8;
    *q++ = id->corsie;
    *q++ = id->capacita;
    spd_metti16(q, id->ultimo);
    q += 2;
    *q++ = id->pendenti;
    *q++ = id->uscite;
    /* The name is padded to its full width: the reply's length is part of what tells it
       apart from the status bytes of a classic device. */
    uint8_t i = 0;
    for (; i < SPD_NOME && id->nome[i]; ++i)
        q[i] = (uint8_t)id->nome[i];
    for (; i < SPD_NOME; ++i)
        q[i] = ' ';
    return chiudi(out, SPD_R_IDENTITA, q + SPD_NOME);
}

uint8_t spd_rispondi_passaggi(uint8_t *out, const spd_passaggi *pp)
{
    uint8_t *q = metti_prefisso(out, &pp->p);
    *q++ = pp->pendenti;
    for (uint8_t i = 0; i < pp->n && i < SPD_PASSAGGI_MAX; ++i) {
        spd_metti16(q, pp->v[i].numero);
        q[2] = pp->v[i].corsia;
        spd_metti48(q + 3, pp->v[i].tempo);
        q += 9;
    }
    return chiudi(out, SPD_R_PASSAGGI, q);
}

uint8_t spd_rispondi_fatto(uint8_t *out, const spd_prefisso *p, uint8_t richiesta, uint8_t uscite)
{
    uint8_t *q = metti_prefisso(out, p);
    q[0] = richiesta;
    q[1] = uscite;
    return chiudi(out, SPD_R_FATTO, q + 2);
}

uint8_t spd_rispondi_tempi_morti(uint8_t *out, const spd_prefisso *p, const uint16_t ms[8])
{
    uint8_t *q = metti_prefisso(out, p);
    for (uint8_t i = 0; i < 8; ++i)
        spd_metti16(q + 2 * i, ms[i]);
    return chiudi(out, SPD_R_TEMPI_MORTI, q + 16);
}

uint8_t spd_rispondi_errore(uint8_t *out, const spd_prefisso *p, uint8_t richiesta, uint8_t codice)
{
    uint8_t *q = metti_prefisso(out, p);
    q[0] = richiesta;
    q[1] = codice;
    return chiudi(out, SPD_R_ERRORE, q + 2);
}

int spd_leggi_prefisso(const uint8_t *payload, uint8_t n, spd_prefisso *p)
{
    if (n < SPD_PREFISSO)
        return 0;
    p->stato = payload[0];
    p->tempo = spd_prendi48(payload + 1);
    return 1;
}

int spd_leggi_identita(const uint8_t *payload, uint8_t n, spd_identita *id)
{
    /* Later versions may append fields, never move these. */
    if (n < SPD_IDENTITA_PAYLOAD || !spd_leggi_prefisso(payload, n, &id->p))
        return 0;
    const uint8_t *q = payload + SPD_PREFISSO;
    id->versione = q[0];
    memcpy(id->firmware, q + 1, 3);
    id->avvio = spd_prendi32(q + 4);
    id->tick_al_secondo = spd_prendi32(q + 8);
    id->corsie = q[12];
    id->capacita = q[13];
    id->ultimo = spd_prendi16(q + 14);
    id->pendenti = q[16];
    id->uscite = q[17];
    memcpy(id->nome, q + 18, SPD_NOME);
    id->nome[SPD_NOME] = 0;
    return 1;
}

int spd_leggi_passaggi(const uint8_t *payload, uint8_t n, spd_passaggi *pp)
{
    if (n < SPD_PREFISSO + 1 || (n - SPD_PREFISSO - 1) % 9 != 0
        || (n - SPD_PREFISSO - 1) / 9 > SPD_PASSAGGI_MAX || !spd_leggi_prefisso(payload, n, &pp->p))
        return 0;
    const uint8_t *q = payload + SPD_PREFISSO;
    pp->pendenti = *q++;
    pp->n = (uint8_t)((n - SPD_PREFISSO - 1) / 9);
    for (uint8_t i = 0; i < pp->n; ++i, q += 9) {
        pp->v[i].numero = spd_prendi16(q);
        pp->v[i].corsia = q[2];
        pp->v[i].tempo = spd_prendi48(q + 3);
    }
    return 1;
}

void spd_decodificatore_avvia(spd_decodificatore *d, uint8_t *buf, uint8_t capacita)
{
    d->buf = buf;
    d->capacita = capacita;
    d->n = 0;
    d->pronta = 0;
}

static void scarta(spd_decodificatore *d, uint8_t k)
{
    memmove(d->buf, d->buf + k, (size_t)(d->n - k));
    d->n = (uint8_t)(d->n - k);
}

/* Looks for a complete, valid frame at the front of what is held. */
static int valuta(spd_decodificatore *d)
{
    for (;;) {
        uint8_t i = 0;
        while (i < d->n && d->buf[i] != SPD_INIZIO)
            ++i;
        if (i)
            scarta(d, i);
        if (d->n < 2)
            return 0;
        uint8_t len = d->buf[1];
        if (SPD_TRAMA(len) > d->capacita) {
            scarta(d, 1);
            continue;
        }
        uint8_t tot = (uint8_t)SPD_TRAMA(len);
        if (d->n < tot)
            return 0;
        if (spd_crc16(d->buf + 1, (uint8_t)(len + 2)) == spd_prendi16(d->buf + 3 + len)) {
            d->pronta = tot;
            return 1;
        }
        scarta(d, 1);
    }
}

static void consuma(spd_decodificatore *d)
{
    if (d->pronta) {
        scarta(d, d->pronta);
        d->pronta = 0;
    }
}

int spd_ricevi(spd_decodificatore *d, uint8_t b)
{
    consuma(d);
    if (d->n == 0 && b != SPD_INIZIO)
        return 0;
    /* Cannot overflow: whatever is held after valuta() is shorter than one frame. */
    d->buf[d->n++] = b;
    return valuta(d);
}

int spd_ancora(spd_decodificatore *d)
{
    consuma(d);
    return valuta(d);
}

int spd_silenzio(spd_decodificatore *d)
{
    consuma(d);
    while (d->n) {
        if (valuta(d))
            return 1;
        if (d->n)
            scarta(d, 1);
    }
    return 0;
}

int spd_in_corso(const spd_decodificatore *d)
{
    return d->n > d->pronta;
}

uint8_t spd_tipo(const spd_decodificatore *d)
{
    return d->buf[2];
}

const uint8_t *spd_payload(const spd_decodificatore *d)
{
    return d->buf + 3;
}

uint8_t spd_lunghezza(const spd_decodificatore *d)
{
    return d->buf[1];
}
