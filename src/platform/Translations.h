#pragma once

#include <QLocale>

/**
 * Installs the message catalogues on the running application: always the English one, which
 * words the plural forms ("1 screenshot", "2 screenshots"), and over it the app's catalogue for
 * the first of @p locale's languages that has one. With @p withQt also Qt's own catalogue, for
 * the texts of Qt's dialogs. Call once, after the application object exists.
 */
void installTranslations(const QLocale &locale, bool withQt);
