// Qt's own texts (file dialog, standard buttons, context menus) in the
// user's language, from the translations that come with Qt.
#pragma once

#include <QLocale>
#include <QTranslator>
#include <memory>

namespace quorvane {

// Qt's translation for the locale's languages, or nothing when Qt has none
// (English, or the translations are not installed). The caller installs it
// in the application for as long as it lives.
std::unique_ptr<QTranslator> LoadQtTranslation(const QLocale& Locale);

}  // namespace quorvane
