#pragma once

#include <QProxyStyle>

namespace vellamark {

// Masks password boxes with "*" rather than the style's own bullet, and at once (no delay).
class PasswordCharacterStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};

}  // namespace vellamark
