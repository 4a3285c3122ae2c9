#include "ui/qt/Translations.h"

#include <QLibraryInfo>

namespace quorvane {

std::unique_ptr<QTranslator> LoadQtTranslation(const QLocale& Locale) {
    auto Translator = std::make_unique<QTranslator>();
    // qtbase holds the texts of the widgets this program uses.
    if (!Translator->load(Locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return nullptr;
    return Translator;
}

}  // namespace quorvane
