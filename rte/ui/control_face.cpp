#include "rte/ui/control_kinds.h"

#include <QBoxLayout>
#include <QFontDatabase>
#include <QLabel>

#include <algorithm>

namespace rte::ui {

namespace {

QFont fontFor(const ControlSpec &desc, QFont font)
{
    if (desc.monospace) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setStyleHint(QFont::TypeWriter);
    }
    if (desc.fontSize > 0)
        font.setPointSizeF(desc.fontSize);
    font.setBold(desc.bold);
    return font;
}

}  // namespace

void dress(QWidget *w, const ControlSpec &desc)
{
    w->setFont(fontFor(desc, w->font()));
    w->setAccessibleName(desc.caption);
    if (!desc.tip.isEmpty())
        w->setToolTip(desc.tip);
}

void keepWhole(QWidget *w)
{
    const auto noShrink = [](QSizePolicy::Policy p) {
        return static_cast<QSizePolicy::Policy>(p & ~QSizePolicy::ShrinkFlag);
    };
    QSizePolicy policy = w->sizePolicy();
    policy.setHorizontalPolicy(noShrink(policy.horizontalPolicy()));
    policy.setVerticalPolicy(noShrink(policy.verticalPolicy()));
    w->setSizePolicy(policy);
}

Captioned::Captioned(const ControlSpec &desc, QWidget *inner)
    : label_(new QLabel(desc.caption)), outer_(inner), inForm_(desc.form > 0)
{
    label_->setBuddy(inner);
    // Captions as large as the control's writing, up to a readable size.
    if (desc.fontSize > 0) {
        QFont font = label_->font();
        font.setPointSizeF(std::min(desc.fontSize, 11.0));
        label_->setFont(font);
    }
    keepWhole(label_);
    keepWhole(inner);
    if (inForm_)
        return;
    outer_ = new QWidget;
    QBoxLayout *box = desc.captionLeft ? static_cast<QBoxLayout *>(new QHBoxLayout(outer_))
                                       : static_cast<QBoxLayout *>(new QVBoxLayout(outer_));
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(desc.captionLeft ? 8 : 2);
    box->addWidget(label_);
    box->addWidget(inner, 1);
}

}  // namespace rte::ui
