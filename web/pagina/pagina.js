(function () {
  'use strict';
  var colonne = {
    classifica: ['posizione', 'pilota', 'giri', 'tempoTotale', 'migliorGiro', 'distacco'],
    veloci: ['posizione', 'pilota', 'giro', 'tempo'],
    corsie: ['corsia', 'pilota', 'giri', 'ultimoGiro', 'migliorGiro'],
    garaclassifica: ['posizione', 'corsia', 'pilota', 'giri', 'stato']
  };
  function testo(id, valore) {
    document.getElementById(id).textContent = valore === undefined || valore === null ? '' : String(valore);
  }
  // Rows are built from text nodes only: a name is always shown, never run.
  function riempi(id, righe) {
    var vecchio = document.getElementById(id);
    var corpo = document.createElement('tbody');
    corpo.id = id;
    corpo.setAttribute('data-vuoto', vecchio.getAttribute('data-vuoto'));
    var nomi = colonne[id];
    for (var i = 0; i < righe.length; i++) {
      var riga = document.createElement('tr');
      for (var j = 0; j < nomi.length; j++) {
        var valore = righe[i][nomi[j]];
        var td = document.createElement('td');
        td.textContent = valore === undefined || valore === null ? '' : String(valore);
        if (nomi[j] === 'pilota') td.className = 'nome';
        else if (typeof valore === 'number') td.className = 'num';
        riga.appendChild(td);
      }
      corpo.appendChild(riga);
    }
    if (!righe.length) {
      var vuota = document.createElement('tr');
      var cella = document.createElement('td');
      cella.className = 'vuoto';
      cella.colSpan = nomi.length;
      cella.textContent = corpo.getAttribute('data-vuoto');
      vuota.appendChild(cella);
      corpo.appendChild(vuota);
    }
    vecchio.parentNode.replaceChild(corpo, vecchio);
  }
  function due(n) { return (n < 10 ? '0' : '') + n; }
  function collegamento(messaggio, perso) {
    testo('collegamento', messaggio);
    document.querySelector('footer').className = perso ? 'perso' : '';
  }
  function aggiorna(stato) {
    var pista = stato.pista || 'Risultati';
    testo('pista', pista);
    document.title = pista + ' - Risultati';
    testo('tempo', stato.tempoSessione);
    testo('stato', stato.stato);
    riempi('classifica', stato.classifica || []);
    riempi('veloci', stato.giriVeloci || []);
    riempi('corsie', stato.corsie || []);
    var gara = stato.gara || {};
    document.getElementById('sezione-gara').hidden = !gara.gara;
    testo('gara', gara.gara);
    testo('manche', gara.manche);
    testo('stato-gara', gara.stato);
    testo('rimanente', gara.rimanente);
    riempi('garaclassifica', gara.classifica || []);
    document.getElementById('sezione-prossima').hidden = !gara.prossima;
    testo('prossima', gara.prossima);
    var lista = document.getElementById('prossimi');
    while (lista.firstChild) lista.removeChild(lista.firstChild);
    (gara.prossimiPiloti || []).forEach(function (riga) {
      var voce = document.createElement('li');
      voce.textContent = riga;
      lista.appendChild(voce);
    });
    var ora = new Date();
    collegamento('In diretta, aggiornato alle ' + due(ora.getHours()) + ':' + due(ora.getMinutes()) + ':' +
                 due(ora.getSeconds()), false);
  }
  if (!window.EventSource || !window.JSON) {
    // Older browsers: the whole page again every few seconds.
    setTimeout(function () { window.location.reload(); }, 5000);
    return;
  }
  function apri() {
    var flusso = new EventSource('/eventi');
    flusso.onmessage = function (evento) { aggiorna(JSON.parse(evento.data)); };
    flusso.onerror = function () {
      collegamento('Collegamento interrotto: nuovo tentativo in corso...', true);
      // A refused stream (server busy) is not retried by the browser itself.
      if (flusso.readyState === 2) setTimeout(apri, 5000);
    };
  }
  collegamento('Collegamento in corso...', false);
  apri();
})();
