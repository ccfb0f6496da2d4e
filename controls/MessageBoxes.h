// The application's message boxes: the default error box that shows an error nobody else
// handled, and the plain information box. Both go through one replaceable presenter so
// that tests (and a future log) can see what would have been shown without a modal box.
// Entry points: ShowErrorBox, ShowInformationBox, SetMessagePresenter.
#pragma once

#include <QString>

#include <exception>
#include <functional>

namespace xavo {

enum class TMessageKind { Error, Information };

// Receives every box: its kind, caption and text.
using TMessagePresenter = std::function<void(TMessageKind kind, const QString& caption, const QString& text)>;

// The caption of the application's boxes.
inline const QString kApplicationTitle = QStringLiteral("Xavoline");

// Shows Message in the application's error box: caption "Xavoline", error icon, OK,
// modal over the active window. Never throws.
void ShowErrorBox(const QString& message);

// The same for an exception; its what() is taken as UTF-8.
void ShowErrorBox(const std::exception& error);

// A box with the information icon and an OK button.
void ShowInformationBox(const QString& caption, const QString& text);

// Routes all boxes to Presenter from now on (an empty one restores the modal boxes) and
// returns the presenter that was in place.
TMessagePresenter SetMessagePresenter(TMessagePresenter presenter);

}  // namespace xavo
