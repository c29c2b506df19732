<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>Cleanup</name>
    <message>
        <source>Another cleanup is running</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>move old screenshots to the Trash once, then exit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>list what a run now would move, and move nothing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>move the last run&apos;s screenshots back from the Trash</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>start the tray app as the login entry does</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>print the version</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>print this help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Usage: quillbrook [OPTION]
Keeps a folder free of old screenshots; without options, starts the tray app.

</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--headless and %1 cannot be used together.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--preview and --put-back cannot be used together.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Try &apos;quillbrook --help&apos;.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ContentView</name>
    <message numerus="yes">
        <source>(%n failed)</source>
        <translation>
            <numerusform>(%n failed)</numerusform>
            <numerusform>(%n failed)</numerusform>
        </translation>
    </message>
    <message>
        <source>Hourly</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Daily</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Weekly</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hours</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Days</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Weeks</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enabled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Launch at login</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Frequency</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>at</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hour</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete screenshots older than</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Age limit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Age unit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Source folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last run:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Trashed:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Put back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next run:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Would trash now:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run Now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Preview</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Trashing…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Trashing… %1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>InteractiveRun</name>
    <message>
        <source>quillbrook: cannot open the tray app: no graphical display (DISPLAY=&quot;%1&quot;, WAYLAND_DISPLAY=&quot;%2&quot;); use &apos;quillbrook --headless&apos; to run one cleanup without a display</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PanelModel</name>
    <message numerus="yes">
        <source>%n hour(s) old</source>
        <translation>
            <numerusform>%n hour old</numerusform>
            <numerusform>%n hours old</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n day(s) old</source>
        <translation>
            <numerusform>%n day old</numerusform>
            <numerusform>%n days old</numerusform>
        </translation>
    </message>
    <message>
        <source>created</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>modified</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PanelText</name>
    <message numerus="yes">
        <source>%n screenshot(s)</source>
        <translation>
            <numerusform>%n screenshot</numerusform>
            <numerusform>%n screenshots</numerusform>
        </translation>
    </message>
    <message>
        <source>Never</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Today</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Yesterday</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tomorrow</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PermissionNotice</name>
    <message>
        <source>Permission denied</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quillbrook cannot read this folder. It may be missing, or its permissions may not allow reading. Choose another folder with &quot;Change…&quot; or fix the folder&apos;s permissions.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open in File Manager</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PreviewList</name>
    <message>
        <source>Screenshots to trash</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Age</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Date</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PutBack</name>
    <message numerus="yes">
        <source>%n name is taken</source>
        <translation>
            <numerusform>%n name is taken</numerusform>
            <numerusform>%n name is taken</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n names are taken</source>
        <translation>
            <numerusform>%n names are taken</numerusform>
            <numerusform>%n names are taken</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n is no longer in the Trash</source>
        <translation>
            <numerusform>%n is no longer in the Trash</numerusform>
            <numerusform>%n is no longer in the Trash</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n are no longer in the Trash</source>
        <translation>
            <numerusform>%n are no longer in the Trash</numerusform>
            <numerusform>%n are no longer in the Trash</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n no longer matches its info file</source>
        <translation>
            <numerusform>%n no longer matches its info file</numerusform>
            <numerusform>%n no longer matches its info file</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n no longer match their info files</source>
        <translation>
            <numerusform>%n no longer match their info files</numerusform>
            <numerusform>%n no longer match their info files</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n is not the one the run moved</source>
        <translation>
            <numerusform>%n is not the one the run moved</numerusform>
            <numerusform>%n is not the one the run moved</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n are not the ones the run moved</source>
        <translation>
            <numerusform>%n are not the ones the run moved</numerusform>
            <numerusform>%n are not the ones the run moved</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n could not be moved</source>
        <translation>
            <numerusform>%n could not be moved</numerusform>
            <numerusform>%n could not be moved</numerusform>
        </translation>
    </message>
    <message>
        <source>Put back %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot put back %1: the name is taken</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot put back %1: it is no longer in the Trash</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot put back %1: its info file no longer matches</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot put back %1: the entry in the Trash is not the one the run moved</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot put back %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nothing to put back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Put back %1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TrayMenu</name>
    <message>
        <source>Open Quillbrook</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run Now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Put Back Last Run</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enabled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quit</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
