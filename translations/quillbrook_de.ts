<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
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
