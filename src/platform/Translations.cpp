#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

bool install(QTranslator *translator, bool loaded)
{
    if (loaded && QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}

} // namespace

void installTranslations(const QLocale &locale, bool withQt)
{
    QCoreApplication *app = QCoreApplication::instance();
    const QString catalogues = QStringLiteral(":/i18n");
    // The source texts are English already; this catalogue adds only their plural forms.
    auto *english = new QTranslator(app);
    install(english, english->load(QStringLiteral("quillbrook_en"), catalogues));
    // Installed last, so it is asked first.
    auto *own = new QTranslator(app);
    install(own, own->load(locale, QStringLiteral("quillbrook"), QStringLiteral("_"), catalogues));
    if (withQt) {
        auto *qt = new QTranslator(app);
        install(qt, qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                             QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
    }
}
