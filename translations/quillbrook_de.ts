<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Cleanup</name>
    <message>
        <source>Another cleanup is running</source>
        <translation>Ein anderes Aufräumen läuft gerade</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>move old screenshots to the Trash once, then exit</source>
        <translation>alte Bildschirmfotos einmal in den Papierkorb verschieben, dann beenden</translation>
    </message>
    <message>
        <source>list what a run now would move, and move nothing</source>
        <translation>auflisten, was ein Lauf jetzt verschieben würde, und nichts verschieben</translation>
    </message>
    <message>
        <source>move the last run&apos;s screenshots back from the Trash</source>
        <translation>die Bildschirmfotos des letzten Laufs aus dem Papierkorb zurücklegen</translation>
    </message>
    <message>
        <source>start the tray app as the login entry does</source>
        <translation>das Programm im Infobereich starten, wie es der Anmeldeeintrag tut</translation>
    </message>
    <message>
        <source>print the version</source>
        <translation>die Version ausgeben</translation>
    </message>
    <message>
        <source>print this help</source>
        <translation>diese Hilfe ausgeben</translation>
    </message>
    <message>
        <source>Usage: quillbrook [OPTION]
Keeps a folder free of old screenshots; without options, starts the tray app.

</source>
        <translation>Aufruf: quillbrook [OPTION]
Hält einen Ordner frei von alten Bildschirmfotos; ohne Optionen startet es das
Programm im Infobereich.

</translation>
    </message>
    <message>
        <source>--headless and %1 cannot be used together.</source>
        <translation>--headless und %1 können nicht zusammen verwendet werden.</translation>
    </message>
    <message>
        <source>--preview and --put-back cannot be used together.</source>
        <translation>--preview und --put-back können nicht zusammen verwendet werden.</translation>
    </message>
    <message>
        <source>Try &apos;quillbrook --help&apos;.</source>
        <translation>Siehe &apos;quillbrook --help&apos;.</translation>
    </message>
</context>
<context>
    <name>ContentView</name>
    <message>
        <source>Hourly</source>
        <translation>Stündlich</translation>
    </message>
    <message>
        <source>Daily</source>
        <translation>Täglich</translation>
    </message>
    <message>
        <source>Weekly</source>
        <translation>Wöchentlich</translation>
    </message>
    <message>
        <source>Hours</source>
        <translation>Stunden</translation>
    </message>
    <message>
        <source>Days</source>
        <translation>Tage</translation>
    </message>
    <message>
        <source>Weeks</source>
        <translation>Wochen</translation>
    </message>
    <message>
        <source>Enabled</source>
        <translation>Aktiviert</translation>
    </message>
    <message>
        <source>Launch at login</source>
        <translation>Beim Anmelden starten</translation>
    </message>
    <message>
        <source>Frequency</source>
        <translation>Häufigkeit</translation>
    </message>
    <message>
        <source>at</source>
        <translation>um</translation>
    </message>
    <message>
        <source>Hour</source>
        <translation>Uhrzeit</translation>
    </message>
    <message>
        <source>Delete screenshots older than</source>
        <translation>Bildschirmfotos löschen, die älter sind als</translation>
    </message>
    <message>
        <source>Age limit</source>
        <translation>Altersgrenze</translation>
    </message>
    <message>
        <source>Age unit</source>
        <translation>Einheit der Altersgrenze</translation>
    </message>
    <message>
        <source>Source folder</source>
        <translation>Quellordner</translation>
    </message>
    <message>
        <source>Change…</source>
        <translation>Ändern…</translation>
    </message>
    <message>
        <source>Last run:</source>
        <translation>Letzter Lauf:</translation>
    </message>
    <message>
        <source>Trashed:</source>
        <translation>Verschoben:</translation>
    </message>
    <message>
        <source>Put back</source>
        <translation>Zurücklegen</translation>
    </message>
    <message>
        <source>Next run:</source>
        <translation>Nächster Lauf:</translation>
    </message>
    <message>
        <source>Would trash now:</source>
        <translation>Würde jetzt verschieben:</translation>
    </message>
    <message>
        <source>Run Now</source>
        <translation>Jetzt ausführen</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message numerus="yes">
        <source>(%n failed)</source>
        <translation>
            <numerusform>(%n Fehler)</numerusform>
            <numerusform>(%n Fehler)</numerusform>
        </translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Trashing…</source>
        <translation>Wird verschoben…</translation>
    </message>
    <message>
        <source>Trashing… %1 of %2</source>
        <translation>Wird verschoben… %1 von %2</translation>
    </message>
</context>
<context>
    <name>InteractiveRun</name>
    <message>
        <source>quillbrook: cannot open the tray app: no graphical display (DISPLAY=&quot;%1&quot;, WAYLAND_DISPLAY=&quot;%2&quot;); use &apos;quillbrook --headless&apos; to run one cleanup without a display</source>
        <translation>quillbrook: Das Programm im Infobereich kann nicht geöffnet werden: keine grafische Anzeige (DISPLAY=&quot;%1&quot;, WAYLAND_DISPLAY=&quot;%2&quot;); &apos;quillbrook --headless&apos; räumt einmal ohne Anzeige auf</translation>
    </message>
</context>
<context>
    <name>PanelModel</name>
    <message numerus="yes">
        <source>%n hour(s) old</source>
        <translation>
            <numerusform>%n Stunde alt</numerusform>
            <numerusform>%n Stunden alt</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n day(s) old</source>
        <translation>
            <numerusform>%n Tag alt</numerusform>
            <numerusform>%n Tage alt</numerusform>
        </translation>
    </message>
    <message>
        <source>created</source>
        <translation>erstellt</translation>
    </message>
    <message>
        <source>modified</source>
        <translation>geändert</translation>
    </message>
</context>
<context>
    <name>PanelText</name>
    <message>
        <source>Never</source>
        <translation>Nie</translation>
    </message>
    <message>
        <source>Today</source>
        <translation>Heute</translation>
    </message>
    <message>
        <source>Yesterday</source>
        <translation>Gestern</translation>
    </message>
    <message>
        <source>Tomorrow</source>
        <translation>Morgen</translation>
    </message>
    <message numerus="yes">
        <source>%n screenshot(s)</source>
        <translation>
            <numerusform>%n Bildschirmfoto</numerusform>
            <numerusform>%n Bildschirmfotos</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>PermissionNotice</name>
    <message>
        <source>Permission denied</source>
        <translation>Zugriff verweigert</translation>
    </message>
    <message>
        <source>Quillbrook cannot read this folder. It may be missing, or its permissions may not allow reading. Choose another folder with &quot;Change…&quot; or fix the folder&apos;s permissions.</source>
        <translation>Quillbrook kann diesen Ordner nicht lesen. Vielleicht fehlt er, oder seine Zugriffsrechte erlauben kein Lesen. Wählen Sie mit „Ändern…“ einen anderen Ordner, oder ändern Sie die Zugriffsrechte des Ordners.</translation>
    </message>
    <message>
        <source>Open in File Manager</source>
        <translation>In der Dateiverwaltung öffnen</translation>
    </message>
</context>
<context>
    <name>PreviewList</name>
    <message>
        <source>Screenshots to trash</source>
        <translation>Bildschirmfotos für den Papierkorb</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Age</source>
        <translation>Alter</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Datum</translation>
    </message>
</context>
<context>
    <name>PutBack</name>
    <message numerus="yes">
        <source>%n name is taken</source>
        <translation>
            <numerusform>%n Name ist belegt</numerusform>
            <numerusform>%n Namen sind belegt</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n names are taken</source>
        <translation>
            <numerusform>%n Name ist belegt</numerusform>
            <numerusform>%n Namen sind belegt</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n is no longer in the Trash</source>
        <translation>
            <numerusform>%n ist nicht mehr im Papierkorb</numerusform>
            <numerusform>%n sind nicht mehr im Papierkorb</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n are no longer in the Trash</source>
        <translation>
            <numerusform>%n ist nicht mehr im Papierkorb</numerusform>
            <numerusform>%n sind nicht mehr im Papierkorb</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n no longer matches its info file</source>
        <translation>
            <numerusform>%n passt nicht mehr zu seiner Info-Datei</numerusform>
            <numerusform>%n passen nicht mehr zu ihren Info-Dateien</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n no longer match their info files</source>
        <translation>
            <numerusform>%n passt nicht mehr zu seiner Info-Datei</numerusform>
            <numerusform>%n passen nicht mehr zu ihren Info-Dateien</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n is not the one the run moved</source>
        <translation>
            <numerusform>%n ist nicht der verschobene Eintrag</numerusform>
            <numerusform>%n sind nicht die verschobenen Einträge</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n are not the ones the run moved</source>
        <translation>
            <numerusform>%n ist nicht der verschobene Eintrag</numerusform>
            <numerusform>%n sind nicht die verschobenen Einträge</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n could not be moved</source>
        <translation>
            <numerusform>%n konnte nicht verschoben werden</numerusform>
            <numerusform>%n konnten nicht verschoben werden</numerusform>
        </translation>
    </message>
    <message>
        <source>Put back %1</source>
        <translation>%1 zurückgelegt</translation>
    </message>
    <message>
        <source>Cannot put back %1: the name is taken</source>
        <translation>%1 kann nicht zurückgelegt werden: der Name ist belegt</translation>
    </message>
    <message>
        <source>Cannot put back %1: it is no longer in the Trash</source>
        <translation>%1 kann nicht zurückgelegt werden: es ist nicht mehr im Papierkorb</translation>
    </message>
    <message>
        <source>Cannot put back %1: its info file no longer matches</source>
        <translation>%1 kann nicht zurückgelegt werden: seine Info-Datei passt nicht mehr</translation>
    </message>
    <message>
        <source>Cannot put back %1: the entry in the Trash is not the one the run moved</source>
        <translation>%1 kann nicht zurückgelegt werden: der Eintrag im Papierkorb ist nicht der, den der Lauf verschoben hat</translation>
    </message>
    <message>
        <source>Cannot put back %1: %2</source>
        <translation>%1 kann nicht zurückgelegt werden: %2</translation>
    </message>
    <message>
        <source>Nothing to put back</source>
        <translation>Nichts zurückzulegen</translation>
    </message>
    <message>
        <source>Put back %1 of %2</source>
        <translation>%1 von %2 zurückgelegt</translation>
    </message>
</context>
<context>
    <name>TrayMenu</name>
    <message>
        <source>Open Quillbrook</source>
        <translation>Quillbrook öffnen</translation>
    </message>
    <message>
        <source>Run Now</source>
        <translation>Jetzt ausführen</translation>
    </message>
    <message>
        <source>Put Back Last Run</source>
        <translation>Letzten Lauf zurücklegen</translation>
    </message>
    <message>
        <source>Enabled</source>
        <translation>Aktiviert</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
</context>
</TS>
