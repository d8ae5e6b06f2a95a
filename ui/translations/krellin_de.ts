<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>FileListModel</name>
    <message>
        <source>%1 bytes</source>
        <translation>%1 Bytes</translation>
    </message>
    <message>
        <source>File Name</source>
        <translation>Dateiname</translation>
    </message>
    <message>
        <source>File Size (Bytes)</source>
        <translation>Dateigröße (Bytes)</translation>
    </message>
    <message>
        <source>Last Write Date</source>
        <translation>Letzte Änderung</translation>
    </message>
    <message>
        <source>Permissions</source>
        <translation>Rechte</translation>
    </message>
    <message>
        <source>Owner</source>
        <translation>Besitzer</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>Gruppe</translation>
    </message>
    <message>
        <source>File Size</source>
        <translation>Dateigröße</translation>
    </message>
</context>
<context>
    <name>FtpErrors</name>
    <message>
        <source>Service not available, closing control connection.</source>
        <translation>Dienst nicht verfügbar, die Steuerverbindung wird geschlossen.</translation>
    </message>
    <message>
        <source>Can&apos;t open data connection.</source>
        <translation>Die Datenverbindung kann nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>Connection closed; transfer aborted.</source>
        <translation>Verbindung geschlossen; Übertragung abgebrochen.</translation>
    </message>
    <message>
        <source>Requested file action not taken.</source>
        <translation>Die angeforderte Dateiaktion wurde nicht ausgeführt.</translation>
    </message>
    <message>
        <source>Requested action aborted: local error in processing.</source>
        <translation>Angeforderte Aktion abgebrochen: lokaler Fehler bei der Verarbeitung.</translation>
    </message>
    <message>
        <source>Requested action not taken. Insufficient storage space in system.</source>
        <translation>Angeforderte Aktion nicht ausgeführt. Zu wenig Speicherplatz im System.</translation>
    </message>
    <message>
        <source>Syntax error, command unrecognized.</source>
        <translation>Syntaxfehler, Befehl nicht erkannt.</translation>
    </message>
    <message>
        <source>Syntax error in parameters or arguments.</source>
        <translation>Syntaxfehler in Parametern oder Argumenten.</translation>
    </message>
    <message>
        <source>Command not implemented.</source>
        <translation>Befehl nicht implementiert.</translation>
    </message>
    <message>
        <source>Bad sequence of commands.</source>
        <translation>Falsche Reihenfolge der Befehle.</translation>
    </message>
    <message>
        <source>Command not implemented for that parameter.</source>
        <translation>Befehl für diesen Parameter nicht implementiert.</translation>
    </message>
    <message>
        <source>Not logged in.</source>
        <translation>Nicht angemeldet.</translation>
    </message>
    <message>
        <source>Need account for storing files.</source>
        <translation>Zum Speichern von Dateien ist ein Konto nötig.</translation>
    </message>
    <message>
        <source>Requested action not taken. File unavailable (e.g., file not found, no access).</source>
        <translation>Angeforderte Aktion nicht ausgeführt. Datei nicht verfügbar (z. B. nicht gefunden, kein Zugriff).</translation>
    </message>
    <message>
        <source>Requested action aborted: page type unknown.</source>
        <translation>Angeforderte Aktion abgebrochen: Seitentyp unbekannt.</translation>
    </message>
    <message>
        <source>Requested file action aborted. Exceeded storage allocation (for current directory or dataset).</source>
        <translation>Angeforderte Dateiaktion abgebrochen. Speicherzuteilung (für den aktuellen Ordner oder Datenbestand) überschritten.</translation>
    </message>
    <message>
        <source>Requested action not taken. File name not allowed.</source>
        <translation>Angeforderte Aktion nicht ausgeführt. Dateiname nicht erlaubt.</translation>
    </message>
    <message>
        <source>A time-out occurred while communicating with the server.</source>
        <translation>Bei der Kommunikation mit dem Server ist eine Zeitüberschreitung aufgetreten.</translation>
    </message>
    <message>
        <source>Cannot execute the command. Transfer in progress.</source>
        <translation>Der Befehl kann nicht ausgeführt werden. Eine Übertragung läuft.</translation>
    </message>
    <message>
        <source>Application is busy. Wait until the current operation will be completed.</source>
        <translation>Das Programm ist beschäftigt. Warten Sie, bis der laufende Vorgang abgeschlossen ist.</translation>
    </message>
    <message>
        <source>The operation was canceled by user.</source>
        <translation>Der Vorgang wurde vom Benutzer abgebrochen.</translation>
    </message>
</context>
<context>
    <name>FtpSecurity</name>
    <message>
        <source>Use explicit FTP over TLS if available</source>
        <translation>Explizites FTP über TLS verwenden, wenn verfügbar</translation>
    </message>
    <message>
        <source>Require explicit FTP over TLS</source>
        <translation>Explizites FTP über TLS verlangen</translation>
    </message>
    <message>
        <source>Require implicit FTP over TLS</source>
        <translation>Implizites FTP über TLS verlangen</translation>
    </message>
    <message>
        <source>Only use plain FTP (insecure)</source>
        <translation>Nur einfaches FTP verwenden (unsicher)</translation>
    </message>
</context>
<context>
    <name>HelpViewer</name>
    <message>
        <source>Krellin Help</source>
        <translation>Krellin-Hilfe</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>QueueModel</name>
    <message>
        <source>Waiting to retry</source>
        <translation>Wartet auf neuen Versuch</translation>
    </message>
    <message>
        <source>Queued</source>
        <translation>Wartend</translation>
    </message>
    <message>
        <source>Active</source>
        <translation>Läuft</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>Done, verified (%1)</source>
        <translation>Fertig, geprüft (%1)</translation>
    </message>
    <message>
        <source>Failed: %1</source>
        <translation>Fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>Skipped</source>
        <translation>Übersprungen</translation>
    </message>
    <message>
        <source>Download</source>
        <translation>Herunterladen</translation>
    </message>
    <message>
        <source>Upload</source>
        <translation>Hochladen</translation>
    </message>
    <message>
        <source>Listed</source>
        <translation>Gelistet</translation>
    </message>
    <message>
        <source>%1 %</source>
        <translation>%1 %</translation>
    </message>
    <message>
        <source>%1/s</source>
        <translation>%1/s</translation>
    </message>
    <message>
        <source>Direction</source>
        <translation>Richtung</translation>
    </message>
    <message>
        <source>Local path</source>
        <translation>Lokaler Pfad</translation>
    </message>
    <message>
        <source>Remote path</source>
        <translation>Pfad auf dem Server</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>Tempo</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Zustand</translation>
    </message>
</context>
<context>
    <name>QueuePane</name>
    <message>
        <source>Queued</source>
        <translation>Wartend</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Fehlgeschlagen</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
</context>
<context>
    <name>ServerAddress</name>
    <message>
        <source>The port number %1 is not valid: it must lie between 1 and 65535.</source>
        <translation>Die Portnummer %1 ist ungültig: Sie muss zwischen 1 und 65535 liegen.</translation>
    </message>
    <message>
        <source>The address %1 lacks its closing bracket.</source>
        <translation>Der Adresse %1 fehlt die schließende Klammer.</translation>
    </message>
    <message>
        <source>The address %1 has text after its closing bracket that is not a port.</source>
        <translation>Die Adresse %1 hat nach der schließenden Klammer Text, der kein Port ist.</translation>
    </message>
</context>
<context>
    <name>WindowTransfers</name>
    <message>
        <source>The transfer queue cannot be kept on disk: %1</source>
        <translation>Die Warteschlange kann nicht auf der Festplatte gehalten werden: %1</translation>
    </message>
    <message>
        <source>%1 transfers with %2 were not finished when Krellin last ended.

Resume them when you connect to that server again, or discard them?</source>
        <translation>%1 Übertragungen mit %2 waren beim letzten Beenden von Krellin nicht fertig.

Sollen sie fortgesetzt werden, sobald Sie sich wieder mit diesem Server verbinden, oder verworfen werden?</translation>
    </message>
    <message>
        <source>Interrupted transfers</source>
        <translation>Unterbrochene Übertragungen</translation>
    </message>
    <message>
        <source>Resume all</source>
        <translation>Alle fortsetzen</translation>
    </message>
    <message>
        <source>Discard</source>
        <translation>Verwerfen</translation>
    </message>
    <message>
        <source>%1 already exists.

Size of the existing file: %2 bytes
Size of the file to %3: %4 bytes

What should be done with it?</source>
        <translation>%1 existiert bereits.

Größe der vorhandenen Datei: %2 Bytes
Größe der Datei zum %3: %4 Bytes

Was soll damit geschehen?</translation>
    </message>
    <message>
        <source>download</source>
        <translation>Herunterladen</translation>
    </message>
    <message>
        <source>upload</source>
        <translation>Hochladen</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>unbekannt</translation>
    </message>
    <message>
        <source>Overwrite</source>
        <translation>Überschreiben</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>Fortsetzen</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>Überspringen</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>Umbenennen</translation>
    </message>
    <message>
        <source>Overwrite if newer</source>
        <translation>Überschreiben, wenn neuer</translation>
    </message>
    <message>
        <source>Overwrite if size differs</source>
        <translation>Überschreiben, wenn die Größe abweicht</translation>
    </message>
    <message>
        <source>File already exists</source>
        <translation>Datei existiert bereits</translation>
    </message>
    <message>
        <source>Apply to all in this queue</source>
        <translation>Für alle in dieser Warteschlange</translation>
    </message>
    <message>
        <source>Queue: %1 % of %2 files</source>
        <translation>Warteschlange: %1 % von %2 Dateien</translation>
    </message>
    <message>
        <source>, %1/s, %2 left</source>
        <translation>, %1/s, noch %2</translation>
    </message>
    <message>
        <source>Transfer settings</source>
        <translation>Übertragungseinstellungen</translation>
    </message>
    <message>
        <source>&amp;Connections for transfers:</source>
        <translation>&amp;Verbindungen für Übertragungen:</translation>
    </message>
    <message>
        <source>&amp;Verify transfers where the server can</source>
        <translation>Übertragungen &amp;prüfen, wo der Server es kann</translation>
    </message>
</context>
<context>
    <name>about</name>
    <message>
        <source>About Krellin</source>
        <translation>Über Krellin</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>frmCertificates</name>
    <message>
        <source>Trusted certificates</source>
        <translation>Vertrauenswürdige Zertifikate</translation>
    </message>
    <message>
        <source>Certificates you chose to always trust:</source>
        <translation>Zertifikate, denen Sie immer vertrauen:</translation>
    </message>
    <message>
        <source>Server</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>Fingerprint</source>
        <translation>Fingerabdruck</translation>
    </message>
    <message>
        <source>&amp;Forget</source>
        <translation>&amp;Vergessen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>frmConnect</name>
    <message>
        <source>Connect to...</source>
        <translation>Verbinden mit...</translation>
    </message>
    <message>
        <source>URL</source>
        <translation>URL</translation>
    </message>
    <message>
        <source>P&amp;ort</source>
        <translation>P&amp;ort</translation>
    </message>
    <message>
        <source>User Name</source>
        <translation>Benutzername</translation>
    </message>
    <message>
        <source>Your E-Mail Address</source>
        <translation>Ihre E-Mail-Adresse</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Anonymous</source>
        <translation>Anonym</translation>
    </message>
    <message>
        <source>Encryption:</source>
        <translation>Verschlüsselung:</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Enter a URL or click on Cancel button.</source>
        <translation>Geben Sie eine URL ein oder klicken Sie auf „Abbrechen“.</translation>
    </message>
    <message>
        <source>Invalid URL</source>
        <translation>Ungültige URL</translation>
    </message>
    <message>
        <source>Invalid port</source>
        <translation>Ungültiger Port</translation>
    </message>
</context>
<context>
    <name>frmMain</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>&amp;Toolbar</source>
        <translation>&amp;Werkzeugleiste</translation>
    </message>
    <message>
        <source>Status &amp;Bar</source>
        <translation>&amp;Statusleiste</translation>
    </message>
    <message>
        <source>Si&amp;zes in Bytes</source>
        <translation>Größen in &amp;Bytes</translation>
    </message>
    <message>
        <source>&amp;Options...</source>
        <translation>&amp;Optionen...</translation>
    </message>
    <message>
        <source>&amp;Certificates...</source>
        <translation>&amp;Zertifikate...</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;Help Topics</source>
        <translation>&amp;Hilfethemen</translation>
    </message>
    <message>
        <source>&amp;Download latest version</source>
        <translation>&amp;Neueste Version herunterladen</translation>
    </message>
    <message>
        <source>&amp;About </source>
        <translation>Ü&amp;ber </translation>
    </message>
    <message>
        <source>Encrypted</source>
        <translation>Verschlüsselt</translation>
    </message>
    <message>
        <source>&amp;Passive Mode</source>
        <translation>&amp;Passiver Modus</translation>
    </message>
    <message>
        <source>&amp;ASCII</source>
        <translation>AS&amp;CII</translation>
    </message>
    <message>
        <source>&amp;Image</source>
        <translation>B&amp;inär</translation>
    </message>
    <message>
        <source>User command</source>
        <translation>Befehl des Benutzers</translation>
    </message>
    <message>
        <source>Server response</source>
        <translation>Antwort des Servers</translation>
    </message>
    <message>
        <source>Server bad response</source>
        <translation>Fehlerantwort des Servers</translation>
    </message>
    <message>
        <source>Application message</source>
        <translation>Meldung des Programms</translation>
    </message>
    <message>
        <source>Resolving host...</source>
        <translation>Host wird aufgelöst...</translation>
    </message>
    <message>
        <source>Host resolved</source>
        <translation>Host aufgelöst</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>Verbunden</translation>
    </message>
    <message>
        <source>Authentication...</source>
        <translation>Anmeldung...</translation>
    </message>
    <message>
        <source>You are logged in. Connection ready.</source>
        <translation>Sie sind angemeldet. Verbindung bereit.</translation>
    </message>
    <message>
        <source>Establishing data connection...</source>
        <translation>Datenverbindung wird aufgebaut...</translation>
    </message>
    <message>
        <source>Data connection established.</source>
        <translation>Datenverbindung aufgebaut.</translation>
    </message>
    <message>
        <source>Retrieving directory info...</source>
        <translation>Verzeichnisinhalt wird abgerufen...</translation>
    </message>
    <message>
        <source>Directory listing completed.</source>
        <translation>Verzeichnisliste vollständig.</translation>
    </message>
    <message>
        <source>Transfer in progress...</source>
        <translation>Übertragung läuft...</translation>
    </message>
    <message>
        <source>Transfer completed.</source>
        <translation>Übertragung abgeschlossen.</translation>
    </message>
    <message>
        <source>Directory listing incomplete. Server: %1</source>
        <translation>Verzeichnisliste unvollständig. Server: %1</translation>
    </message>
    <message>
        <source>%1 of %2 (%3 %)</source>
        <translation>%1 von %2 (%3 %)</translation>
    </message>
    <message>
        <source>%1/s</source>
        <translation>%1/s</translation>
    </message>
    <message>
        <source>%1:%2:%3 left</source>
        <translation>noch %1:%2:%3</translation>
    </message>
    <message>
        <source>%1:%2 left</source>
        <translation>noch %1:%2</translation>
    </message>
    <message>
        <source>Uploading %1: %2</source>
        <translation>Hochladen von %1: %2</translation>
    </message>
    <message>
        <source>Downloading %1: %2</source>
        <translation>Herunterladen von %1: %2</translation>
    </message>
    <message>
        <source>Retrieving the current directory listing (%1 bytes ) ...</source>
        <translation>Aktuelle Verzeichnisliste wird abgerufen (%1 Bytes) ...</translation>
    </message>
    <message>
        <source>FTP Client</source>
        <translation>FTP-Client</translation>
    </message>
    <message>
        <source>File %1 already exists!</source>
        <translation>Die Datei %1 existiert bereits!</translation>
    </message>
    <message>
        <source>Size of remote file - %1 bytes</source>
        <translation>Größe der entfernten Datei - %1 Bytes</translation>
    </message>
    <message>
        <source>Size of local file  - %1 bytes</source>
        <translation>Größe der lokalen Datei   - %1 Bytes</translation>
    </message>
    <message>
        <source>Note: If you choose No new file will be created.</source>
        <translation>Hinweis: Wenn Sie „Nein“ wählen, wird eine neue Datei angelegt.</translation>
    </message>
    <message>
        <source>Server response: %1</source>
        <translation>Antwort des Servers: %1</translation>
    </message>
    <message>
        <source>... and %1 more</source>
        <translation>... und %1 weitere</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>Ö&amp;ffnen</translation>
    </message>
    <message>
        <source>&amp;Connect to ...</source>
        <translation>&amp;Verbinden mit ...</translation>
    </message>
    <message>
        <source>&amp;Stop</source>
        <translation>&amp;Stopp</translation>
    </message>
    <message>
        <source>Stop operation</source>
        <translation>Vorgang anhalten</translation>
    </message>
    <message>
        <source>&amp;Download File ...</source>
        <translation>Datei &amp;herunterladen ...</translation>
    </message>
    <message>
        <source>Download File...</source>
        <translation>Datei herunterladen...</translation>
    </message>
    <message>
        <source>&amp;Rename File ...</source>
        <translation>Datei &amp;umbenennen ...</translation>
    </message>
    <message>
        <source>Rename File...</source>
        <translation>Datei umbenennen...</translation>
    </message>
    <message>
        <source>&amp;Delete File ...</source>
        <translation>Datei &amp;löschen ...</translation>
    </message>
    <message>
        <source>Delete File</source>
        <translation>Datei löschen</translation>
    </message>
    <message>
        <source>&amp;Upload File ...</source>
        <translation>Datei hoch&amp;laden ...</translation>
    </message>
    <message>
        <source>Upload File...</source>
        <translation>Datei hochladen...</translation>
    </message>
    <message>
        <source>&amp;Create Directory ...</source>
        <translation>&amp;Ordner erstellen ...</translation>
    </message>
    <message>
        <source>Create Directory...</source>
        <translation>Ordner erstellen...</translation>
    </message>
    <message>
        <source>Remo&amp;ve Directory</source>
        <translation>Ordner &amp;entfernen</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>&amp;Aktualisieren</translation>
    </message>
    <message>
        <source>Refresh contents of current directory</source>
        <translation>Inhalt des aktuellen Ordners aktualisieren</translation>
    </message>
    <message>
        <source>&amp;Up One Level</source>
        <translation>Eine Ebene &amp;nach oben</translation>
    </message>
    <message>
        <source>C&amp;lose</source>
        <translation>S&amp;chließen</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Lar&amp;ge Icons</source>
        <translation>&amp;Große Symbole</translation>
    </message>
    <message>
        <source>View Large Icons</source>
        <translation>Große Symbole anzeigen</translation>
    </message>
    <message>
        <source>S&amp;mall Icons</source>
        <translation>&amp;Kleine Symbole</translation>
    </message>
    <message>
        <source>View Small Icons</source>
        <translation>Kleine Symbole anzeigen</translation>
    </message>
    <message>
        <source>&amp;List</source>
        <translation>&amp;Liste</translation>
    </message>
    <message>
        <source>View List</source>
        <translation>Liste anzeigen</translation>
    </message>
    <message>
        <source>&amp;Details</source>
        <translation>&amp;Details</translation>
    </message>
    <message>
        <source>View Details</source>
        <translation>Details anzeigen</translation>
    </message>
    <message>
        <source>Error occured!</source>
        <translation>Ein Fehler ist aufgetreten!</translation>
    </message>
    <message>
        <source>the connection was lost.</source>
        <translation>die Verbindung ist abgebrochen.</translation>
    </message>
    <message>
        <source>Disconnected.</source>
        <translation>Getrennt.</translation>
    </message>
    <message>
        <source>Disconnected: %1</source>
        <translation>Getrennt: %1</translation>
    </message>
    <message>
        <source>connecting to %1</source>
        <translation>Verbindung mit %1</translation>
    </message>
    <message>
        <source>Stopped: %1</source>
        <translation>Angehalten: %1</translation>
    </message>
    <message>
        <source>Error #%1</source>
        <translation>Fehler Nr. %1</translation>
    </message>
    <message>
        <source>Error #%1: %2</source>
        <translation>Fehler Nr. %1: %2</translation>
    </message>
    <message>
        <source>listing of %1</source>
        <translation>Auflisten von %1</translation>
    </message>
    <message>
        <source>Directory listing failed.</source>
        <translation>Auflisten des Ordners fehlgeschlagen.</translation>
    </message>
    <message>
        <source>change to %1</source>
        <translation>Wechsel nach %1</translation>
    </message>
    <message>
        <source>asking the server where it is</source>
        <translation>Frage an den Server, wo er steht</translation>
    </message>
    <message>
        <source>Message from %1</source>
        <translation>Nachricht von %1</translation>
    </message>
    <message>
        <source>The connection cannot be established.</source>
        <translation>Die Verbindung kann nicht aufgebaut werden.</translation>
    </message>
    <message>
        <source>Can&apos;t open directory %1.</source>
        <translation>Der Ordner %1 kann nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>Can&apos;t open directory</source>
        <translation>Ordner kann nicht geöffnet werden</translation>
    </message>
    <message>
        <source>Can&apos;t open %1.</source>
        <translation>%1 kann nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>Encrypted: %1</source>
        <translation>Verschlüsselt: %1</translation>
    </message>
    <message>
        <source>The certificate of %1 is not trusted:</source>
        <translation>Dem Zertifikat von %1 wird nicht vertraut:</translation>
    </message>
    <message>
        <source>Yes: always trust this certificate for this server.
No: trust it for this session only.
Cancel: do not connect (nothing has been sent yet).</source>
        <translation>Ja: diesem Zertifikat für diesen Server immer vertrauen.
Nein: nur für diese Sitzung vertrauen.
Abbrechen: nicht verbinden (noch wurde nichts gesendet).</translation>
    </message>
    <message>
        <source>Unknown certificate</source>
        <translation>Unbekanntes Zertifikat</translation>
    </message>
    <message>
        <source>This server does not offer FTP over TLS; your password and files will cross the network in clear.</source>
        <translation>Dieser Server bietet kein FTP über TLS an; Ihr Passwort und Ihre Dateien gehen unverschlüsselt über das Netz.</translation>
    </message>
    <message>
        <source>This server does not protect its data connections with TLS; your files will cross the network in clear.</source>
        <translation>Dieser Server schützt seine Datenverbindungen nicht mit TLS; Ihre Dateien gehen unverschlüsselt über das Netz.</translation>
    </message>
    <message>
        <source>Connect without encryption?</source>
        <translation>Ohne Verschlüsselung verbinden?</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>&amp;Always for this server</source>
        <translation>&amp;Immer für diesen Server</translation>
    </message>
    <message>
        <source>Connecting to %1 ...</source>
        <translation>Verbindung mit %1 wird aufgebaut ...</translation>
    </message>
    <message>
        <source>Welcome message from %1</source>
        <translation>Begrüßung von %1</translation>
    </message>
    <message>
        <source>Stopping: %1 ...</source>
        <translation>Wird angehalten: %1 ...</translation>
    </message>
    <message>
        <source>disconnecting</source>
        <translation>Trennen</translation>
    </message>
    <message>
        <source>Upload of %1 cancelled.</source>
        <translation>Hochladen von %1 abgebrochen.</translation>
    </message>
    <message>
        <source>Upload of %1 failed.</source>
        <translation>Hochladen von %1 fehlgeschlagen.</translation>
    </message>
    <message>
        <source>Download of %1 cancelled.</source>
        <translation>Herunterladen von %1 abgebrochen.</translation>
    </message>
    <message>
        <source>Download of %1 failed.</source>
        <translation>Herunterladen von %1 fehlgeschlagen.</translation>
    </message>
    <message>
        <source>Select a file to download, please. A folder opens with Enter or a double-click.</source>
        <translation>Bitte wählen Sie eine Datei zum Herunterladen. Ein Ordner öffnet sich mit der Eingabetaste oder einem Doppelklick.</translation>
    </message>
    <message>
        <source>Download file</source>
        <translation>Datei herunterladen</translation>
    </message>
    <message>
        <source>Download file and save as...</source>
        <translation>Datei herunterladen und speichern unter...</translation>
    </message>
    <message>
        <source>All Files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Do you want to append lost data to existing file?</source>
        <translation>Möchten Sie die fehlenden Daten an die vorhandene Datei anhängen?</translation>
    </message>
    <message>
        <source>File already exists</source>
        <translation>Datei existiert bereits</translation>
    </message>
    <message>
        <source>Do you want to cancel download?</source>
        <translation>Möchten Sie das Herunterladen abbrechen?</translation>
    </message>
    <message>
        <source>Download files into...</source>
        <translation>Dateien herunterladen nach...</translation>
    </message>
    <message>
        <source>%1; skipped.</source>
        <translation>%1; übersprungen.</translation>
    </message>
    <message>
        <source>Skipped a file whose name is not safe on this computer.</source>
        <translation>Eine Datei übersprungen, deren Name auf diesem Computer nicht sicher ist.</translation>
    </message>
    <message>
        <source>Skipped %1 files whose names are not safe on this computer.</source>
        <translation>%1 Dateien übersprungen, deren Namen auf diesem Computer nicht sicher sind.</translation>
    </message>
    <message>
        <source>These files were not downloaded: their names could write outside the chosen folder.</source>
        <translation>Diese Dateien wurden nicht heruntergeladen: Ihre Namen könnten außerhalb des gewählten Ordners schreiben.</translation>
    </message>
    <message>
        <source>download of %1</source>
        <translation>Herunterladen von %1</translation>
    </message>
    <message>
        <source>Server doesn&apos;t response. Do you like to try again?</source>
        <translation>Der Server antwortet nicht. Möchten Sie es noch einmal versuchen?</translation>
    </message>
    <message>
        <source>The connection is broken. Do you wish to establish the connect again?</source>
        <translation>Die Verbindung ist abgebrochen. Möchten Sie sie neu aufbauen?</translation>
    </message>
    <message>
        <source>Select file to upload</source>
        <translation>Datei zum Hochladen wählen</translation>
    </message>
    <message>
        <source>Do you want to cancel upload?</source>
        <translation>Möchten Sie das Hochladen abbrechen?</translation>
    </message>
    <message>
        <source>upload of %1</source>
        <translation>Hochladen von %1</translation>
    </message>
    <message>
        <source>Can&apos;t upload file.</source>
        <translation>Die Datei kann nicht hochgeladen werden.</translation>
    </message>
    <message>
        <source>Can&apos;t upload file</source>
        <translation>Hochladen nicht möglich</translation>
    </message>
    <message>
        <source>Enter directory name, please.</source>
        <translation>Bitte geben Sie den Namen des Ordners ein.</translation>
    </message>
    <message>
        <source>Create new directory</source>
        <translation>Neuen Ordner erstellen</translation>
    </message>
    <message>
        <source>creating %1</source>
        <translation>Erstellen von %1</translation>
    </message>
    <message>
        <source>Can&apos;t create new directory.</source>
        <translation>Der neue Ordner kann nicht erstellt werden.</translation>
    </message>
    <message>
        <source>Can&apos;t create directory</source>
        <translation>Ordner kann nicht erstellt werden</translation>
    </message>
    <message>
        <source>Delete file or directory</source>
        <translation>Datei oder Ordner löschen</translation>
    </message>
    <message>
        <source>Select file or directory to delete, please.</source>
        <translation>Bitte wählen Sie die zu löschende Datei oder den Ordner.</translation>
    </message>
    <message>
        <source>Do you really want to remove directory %1?</source>
        <translation>Möchten Sie den Ordner %1 wirklich entfernen?</translation>
    </message>
    <message>
        <source>Do you really want to delete file %1?</source>
        <translation>Möchten Sie die Datei %1 wirklich löschen?</translation>
    </message>
    <message>
        <source>Do you really want to delete these %1 entries?</source>
        <translation>Möchten Sie diese %1 Einträge wirklich löschen?</translation>
    </message>
    <message>
        <source>Delete file</source>
        <translation>Datei löschen</translation>
    </message>
    <message>
        <source>deleting %1</source>
        <translation>Löschen von %1</translation>
    </message>
    <message>
        <source>Can&apos;t remove directory.</source>
        <translation>Der Ordner kann nicht entfernt werden.</translation>
    </message>
    <message>
        <source>Can&apos;t delete file.</source>
        <translation>Die Datei kann nicht gelöscht werden.</translation>
    </message>
    <message>
        <source>Can&apos;t remove directory</source>
        <translation>Ordner kann nicht entfernt werden</translation>
    </message>
    <message>
        <source>Can&apos;t delete file</source>
        <translation>Datei kann nicht gelöscht werden</translation>
    </message>
    <message>
        <source>Can&apos;t delete %1 of %2 entries.</source>
        <translation>%1 von %2 Einträgen können nicht gelöscht werden.</translation>
    </message>
    <message>
        <source>Remove Directory</source>
        <translation>Ordner entfernen</translation>
    </message>
    <message>
        <source>Select a directory in the tree to remove, please.</source>
        <translation>Bitte wählen Sie im Baum den zu entfernenden Ordner.</translation>
    </message>
    <message>
        <source>Do you really want to remove directory: %1</source>
        <translation>Möchten Sie diesen Ordner wirklich entfernen: %1</translation>
    </message>
    <message>
        <source>removing %1</source>
        <translation>Entfernen von %1</translation>
    </message>
    <message>
        <source>Rename File</source>
        <translation>Datei umbenennen</translation>
    </message>
    <message>
        <source>Select file to rename, please.</source>
        <translation>Bitte wählen Sie die umzubenennende Datei.</translation>
    </message>
    <message>
        <source>Enter new file name for %1</source>
        <translation>Neuer Dateiname für %1</translation>
    </message>
    <message>
        <source>renaming %1</source>
        <translation>Umbenennen von %1</translation>
    </message>
    <message>
        <source>Can&apos;t rename file.</source>
        <translation>Die Datei kann nicht umbenannt werden.</translation>
    </message>
    <message>
        <source>Can&apos;t rename file</source>
        <translation>Umbenennen nicht möglich</translation>
    </message>
    <message>
        <source>Upload File</source>
        <translation>Datei hochladen</translation>
    </message>
    <message>
        <source>Move</source>
        <translation>Verschieben</translation>
    </message>
    <message>
        <source>%1 entries</source>
        <translation>%1 Einträge</translation>
    </message>
    <message>
        <source>Move %1 from %2 to %3?</source>
        <translation>%1 von %2 nach %3 verschieben?</translation>
    </message>
    <message>
        <source>moving %1</source>
        <translation>Verschieben von %1</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>Can&apos;t move:<byte value="xd"/>
<byte value="xd"/>
%1</source>
        <translation>Verschieben nicht möglich:<byte value="xd"/>
<byte value="xd"/>
%1</translation>
    </message>
    <message>
        <source>Upload &amp;Folder ...</source>
        <translation>&amp;Ordner hochladen ...</translation>
    </message>
    <message>
        <source>&amp;Retry</source>
        <translation>&amp;Wiederholen</translation>
    </message>
    <message>
        <source>Re&amp;move</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>&amp;Open Containing Folder</source>
        <translation>Enthaltenden &amp;Ordner öffnen</translation>
    </message>
    <message>
        <source>Tra&amp;nsfer Settings ...</source>
        <translation>&amp;Übertragungseinstellungen ...</translation>
    </message>
    <message>
        <source>%1 files queued for upload.</source>
        <translation>%1 Dateien zum Hochladen eingereiht.</translation>
    </message>
    <message>
        <source>Queued for upload: %1.</source>
        <translation>Zum Hochladen eingereiht: %1.</translation>
    </message>
    <message>
        <source>Queued for download: %1.</source>
        <translation>Zum Herunterladen eingereiht: %1.</translation>
    </message>
    <message>
        <source>Select folder to upload</source>
        <translation>Ordner zum Hochladen wählen</translation>
    </message>
    <message>
        <source>%1 queued for upload.</source>
        <translation>%1 zum Hochladen eingereiht.</translation>
    </message>
    <message>
        <source>Stop &amp;All</source>
        <translation>&amp;Alle anhalten</translation>
    </message>
</context>
<context>
    <name>frmWelcomeMessage</name>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
</TS>
