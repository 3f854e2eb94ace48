// Signed at build time; the host tests load it through AddScript and AddScriptFromFile.
set('probe', 'ran: ' + (typeof timer) + ' ' + (typeof _scriptHost));
