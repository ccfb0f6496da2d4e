// Stored colours, fonts, placement and string lists on Qt (see SettingsQt.h).
#include "SettingsQt.h"

#include "SjisQt.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace xavo {
namespace {

constexpr std::uint32_t kSystemColorBit = 0x80000000u;
// Larger stored sizes are damage: such a font would make every repaint crawl.
constexpr int kMaxFontPoints = 500;

// The palette role of a system colour index; the window background for the unknown ones.
QPalette::ColorRole SystemColorRole(std::uint32_t index) {
    switch (index) {
    case 8: return QPalette::Text;              // window text
    case 13: return QPalette::Highlight;
    case 14: return QPalette::HighlightedText;
    case 15: return QPalette::Button;           // button face
    case 18: return QPalette::ButtonText;
    case 24: return QPalette::ToolTipBase;
    default: return QPalette::Base;             // 5, the window background
    }
}

}  // namespace

QColor ToQColor(TColor color, const QPalette& palette) {
    const auto bits = static_cast<std::uint32_t>(color);
    if (bits & kSystemColorBit) return palette.color(QPalette::Active, SystemColorRole(bits & 0xFFu));
    return QColor(static_cast<int>(bits & 0xFFu), static_cast<int>(bits >> 8 & 0xFFu), static_cast<int>(bits >> 16 & 0xFFu));
}

TColor ToTColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return static_cast<TColor>(static_cast<std::uint32_t>(rgb.red()) | static_cast<std::uint32_t>(rgb.green()) << 8 |
                               static_cast<std::uint32_t>(rgb.blue()) << 16);
}

QFont ToQFont(const TFontSpec& spec) {
    QFont font(SjisToQString(spec.Name));
    font.setPointSize(spec.Size > 0 && spec.Size <= kMaxFontPoints ? spec.Size : TFontSpec().Size);
    font.setBold((spec.Style & fsBold) != 0);
    font.setItalic((spec.Style & fsItalic) != 0);
    font.setUnderline((spec.Style & fsUnderline) != 0);
    font.setStrikeOut((spec.Style & fsStrikeOut) != 0);
    return font;
}

TFontSpec ToFontSpec(const QFont& font, TColor color) {
    TFontSpec spec;
    spec.Name = QStringToSjis(font.family());
    if (font.pointSize() > 0)
        spec.Size = font.pointSize();
    else if (font.pixelSize() > 0)
        spec.Size = static_cast<int>(std::lround(font.pixelSize() * 72.0 / 96.0));
    spec.Style = static_cast<std::uint8_t>((font.bold() ? fsBold : 0) | (font.italic() ? fsItalic : 0) |
                                           (font.underline() ? fsUnderline : 0) | (font.strikeOut() ? fsStrikeOut : 0));
    spec.Color = color;
    return spec;
}

TWindowPlacement PlacementOf(const QWidget& window) {
    const bool maximised = window.isMaximized();
    const QRect r = maximised || window.isFullScreen() ? window.normalGeometry() : window.geometry();
    TWindowPlacement placement;
    placement.Show = maximised ? 3 : 1;
    placement.Left = r.x();
    placement.Top = r.y();
    placement.Right = r.x() + r.width();
    placement.Bottom = r.y() + r.height();
    return placement;
}

void ApplyPlacement(QWidget& window, const TWindowPlacement& placement) {
    const std::int64_t width = std::int64_t{placement.Right} - placement.Left;
    const std::int64_t height = std::int64_t{placement.Bottom} - placement.Top;
    if (width > 0 && height > 0 && width <= 100000 && height <= 100000) {
        QRect rect(placement.Left, placement.Top, static_cast<int>(width), static_cast<int>(height));
        QScreen* screen = QGuiApplication::screenAt(rect.center());
        // A size stored on a larger screen (or damaged) must not put the window's edges
        // out of reach.
        if (QScreen* limit = screen != nullptr ? screen : QGuiApplication::primaryScreen()) {
            const QSize available = limit->availableGeometry().size();
            rect.setSize(rect.size().boundedTo(available));
        }
        if (screen != nullptr)
            window.setGeometry(rect);
        else
            window.resize(rect.size());
    }
    if (placement.Show == 3) window.setWindowState(window.windowState() | Qt::WindowMaximized);
}

std::vector<std::string> ComboItems(const QComboBox* combo) {
    std::vector<std::string> items;
    items.reserve(static_cast<std::size_t>(combo->count()));
    for (int i = 0; i < combo->count(); ++i) items.push_back(QStringToSjis(combo->itemText(i)));
    return items;
}

void SetComboItems(QComboBox* combo, const std::vector<std::string>& items) {
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(items.size()));
    for (const std::string& item : items) texts << SjisToQString(item);
    combo->clear();
    combo->addItems(texts);
    combo->setCurrentIndex(-1);  // the list is loaded; nothing is chosen yet
}

}  // namespace xavo
