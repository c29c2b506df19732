#!/usr/bin/python3
"""Every text in src/ has a finished German translation, with each of its plural forms, and
each plural text its English wording; no catalogue keeps a text that src/ no longer has; lupdate
finds no tr() it cannot place, whose text would never reach a catalogue.

Usage: check_translations.py <lupdate> <src dir> <translations dir>
"""
import pathlib
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

lupdate, sources, catalogues = sys.argv[1:4]
problems = []
with tempfile.TemporaryDirectory() as scratch:
    for shipped in sorted(pathlib.Path(catalogues).glob("*.ts")):
        catalogue = pathlib.Path(scratch, shipped.name)
        shutil.copy(shipped, catalogue)
        run = subprocess.run([lupdate, "-silent", "-locations", "none", sources, "-ts",
                              str(catalogue)], check=True, capture_output=True, text=True)
        problems += [f"lupdate: {line}" for line in run.stderr.splitlines() if line not in problems]
        plurals_only = shipped.stem.endswith("_en")  # the source texts are English already
        for context in ET.parse(catalogue).iter("context"):
            for message in context.iter("message"):
                text = f"{shipped.name}: {context.findtext('name')}: {message.findtext('source')!r}"
                translation = message.find("translation")
                forms = [form.text for form in translation.iter("numerusform")] or [translation.text]
                if translation.get("type") in ("vanished", "obsolete"):
                    problems.append(f"{text} is no longer in the sources")
                elif (message.get("numerus") == "yes" or not plurals_only) and (
                        translation.get("type") == "unfinished" or not all(forms)):
                    problems.append(f"{text} has no translation")
print("\n".join(problems) or "every text is translated")
sys.exit(1 if problems else 0)
