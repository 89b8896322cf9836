/* The timing device on an ATmega328P at 16 MHz (Arduino Uno, Nano).
 *
 *   lanes 1-8   D2-D7 (PD2-PD7), D8-D9 (PB0-PB1): inputs, pull-up, active low
 *   lights 1-5  A0-A4 (PC0-PC4): outputs, high = on
 *   relay       A5 (PC5): output, high = on (SAETTINO_RELE_BASSO inverts it)
 *   serial      D0/D1, SAETTINO_BAUD (9600 unless built otherwise), 8N1
 *
 * Interrupts do only what must happen at once: the pin-change ones stamp the lines with
 * Timer1 (0.5 us) and queue them, the receive one queues the byte. Everything else runs in
 * the main loop through logica.c, which the host's tests run too. */
#include <avr/eeprom.h>
#include <avr/interrupt.h>
#include <avr/io.h>

#include "logica.h"

#ifndef SAETTINO_BAUD
#define SAETTINO_BAUD 9600ul
#endif

/* Timer1 overflows served: with TCNT1, the 48-bit device time. */
volatile uint32_t saettino_tempo_alto;

typedef struct {
    uint8_t attivi;
    uint8_t maschera;
    uint16_t basso;
    uint32_t alto;
} fronte;

#define FRONTI 32u /* a power of two: the indices run free */
static volatile fronte fronti[FRONTI];
static volatile uint8_t fronti_testa, fronti_coda;

#define RICEZIONE 64u
static volatile uint8_t ricevuti[RICEZIONE];
static volatile uint8_t ric_testa, ric_coda;

#define INVIO 128u
static uint8_t da_inviare[INVIO];
static uint8_t inv_testa, inv_coda;

static logica dispositivo;
static uint8_t risposta[SPD_TRAMA_MAX];
static uint32_t EEMEM avvii;

ISR(TIMER1_OVF_vect)
{
    ++saettino_tempo_alto;
}

/* Interrupts are off in here. The counter is read first, closest to the edge, and the
 * overflow flag after it; then the port. A full queue cannot happen in practice (the main
 * loop empties it within microseconds); if it did, the next edge of the port would still
 * bring its lines' levels. */
static inline __attribute__((always_inline)) void timbra(uint8_t porta_d)
{
    uint16_t basso = TCNT1;
    uint8_t traboccato = TIFR1 & _BV(TOV1);
    uint8_t attivi, maschera;
    if (porta_d) {
        attivi = (uint8_t)(~PIND >> 2) & 0x3F; /* lanes 1-6, low when active */
        maschera = 0x3F;
    } else {
        attivi = (uint8_t)((~PINB & 0x03) << 6); /* lanes 7-8 */
        maschera = 0xC0;
    }
    uint8_t i = fronti_testa;
    if ((uint8_t)(i - fronti_coda) >= FRONTI)
        return;
    volatile fronte *f = &fronti[i % FRONTI];
    f->attivi = attivi;
    f->maschera = maschera;
    f->basso = basso;
    f->alto = log_alto_corretto(saettino_tempo_alto, basso, traboccato);
    fronti_testa = (uint8_t)(i + 1);
}

ISR(PCINT2_vect)
{
    timbra(1);
}

ISR(PCINT0_vect)
{
    timbra(0);
}

ISR(USART_RX_vect)
{
    uint8_t errore = UCSR0A & (_BV(FE0) | _BV(DOR0));
    uint8_t b = UDR0;
    uint8_t i = ric_testa;
    /* A byte with a framing error is noise; a full buffer means the program floods. */
    if (errore & _BV(FE0) || (uint8_t)(i - ric_coda) >= RICEZIONE)
        return;
    ricevuti[i % RICEZIONE] = b;
    ric_testa = (uint8_t)(i + 1);
}

static log_tempo adesso(void)
{
    uint8_t sreg = SREG;
    cli();
    uint16_t basso = TCNT1;
    uint8_t traboccato = TIFR1 & _BV(TOV1);
    uint32_t alto = saettino_tempo_alto;
    SREG = sreg;
    return log_tempo_di(log_alto_corretto(alto, basso, traboccato), basso);
}

static uint8_t linee_attive(void)
{
    return (uint8_t)(((~PIND >> 2) & 0x3F) | ((~PINB & 0x03) << 6));
}

static uint8_t spazio_invio(void)
{
    return (uint8_t)(INVIO - (uint8_t)(inv_testa - inv_coda));
}

static void accoda_invio(const uint8_t *p, uint8_t n)
{
    while (n--)
        da_inviare[inv_testa++ % INVIO] = *p++;
}

static void avvia_hardware(void)
{
    /* Lanes: inputs with pull-ups. */
    DDRD &= (uint8_t)~0xFC;
    PORTD |= 0xFC;
    DDRB &= (uint8_t)~0x03;
    PORTB |= 0x03;
    /* Lights and relay: outputs, off. */
#ifdef SAETTINO_RELE_BASSO
    PORTC = (uint8_t)((PORTC & 0xC0) | 0x20);
#else
    PORTC &= 0xC0;
#endif
    DDRC |= 0x3F;

    /* Timer1 free-running at 16 MHz / 8: one tick every 0.5 us, an overflow every 32.8 ms. */
    TCCR1A = 0;
    TCCR1B = _BV(CS11);
    TIMSK1 = _BV(TOIE1);

    /* Serial, double speed for the smaller error at the usual rates. */
    UCSR0A = _BV(U2X0);
    UBRR0 = (uint16_t)((F_CPU + 4ul * SAETTINO_BAUD) / (8ul * SAETTINO_BAUD) - 1);
    UCSR0C = _BV(UCSZ01) | _BV(UCSZ00);
    UCSR0B = _BV(RXEN0) | _BV(TXEN0) | _BV(RXCIE0);

    PCMSK2 = 0xFC;
    PCMSK0 = 0x03;
    PCIFR = _BV(PCIF2) | _BV(PCIF0);
    PCICR = _BV(PCIE2) | _BV(PCIE0);
}

static void applica_uscite(void)
{
    uint8_t rele = dispositivo.rele;
#ifdef SAETTINO_RELE_BASSO
    rele = !rele;
#endif
    PORTC = (uint8_t)((PORTC & 0xC0) | (dispositivo.luci & 0x1F) | (rele ? 0x20 : 0));
}

int main(void)
{
    /* Every start gets a new boot number, so the program can tell a reset from a pause. */
    uint32_t avvio = eeprom_read_dword(&avvii) + 1;
    eeprom_update_dword(&avvii, avvio);

    cli();
    avvia_hardware();
    logica_avvia(&dispositivo, avvio, linee_attive(), 0);
    sei();

    uint8_t luci = 0, rele = 0;
    for (;;) {
        /* One byte at a time to the transmitter; reading UCSR0A each pass also tells a
           simulator that the receiver is free. */
        if ((UCSR0A & _BV(UDRE0)) && inv_testa != inv_coda)
            UDR0 = da_inviare[inv_coda++ % INVIO];

        while (fronti_coda != fronti_testa) {
            volatile fronte *f = &fronti[fronti_coda % FRONTI];
            logica_linee(&dispositivo, f->attivi, f->maschera, log_tempo_di(f->alto, f->basso));
            ++fronti_coda;
        }

        /* A request is taken only when its longest answer fits behind what is being sent. */
        if (spazio_invio() < SPD_TRAMA_MAX)
            continue;
        uint8_t n = 0;
        if (ric_coda != ric_testa) {
            uint8_t b = ricevuti[ric_coda % RICEZIONE];
            ++ric_coda;
            n = logica_byte(&dispositivo, b, adesso(), risposta);
        } else {
            n = logica_passo(&dispositivo, adesso(), risposta);
        }
        accoda_invio(risposta, n);

        if (dispositivo.luci != luci || dispositivo.rele != rele) {
            luci = dispositivo.luci;
            rele = dispositivo.rele;
            applica_uscite();
        }
    }
}
