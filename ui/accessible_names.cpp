#include "ui/accessible_names.h"

#include "ui/ip_address_edit.h"

#include <QLabel>

#include <limits>

namespace {

bool IsInput(ControlKind kind) {
    switch (kind) {
    case ControlKind::Edit:
    case ControlKind::DigitsEdit:
    case ControlKind::DropDownList:
    case ControlKind::DisabledDropDownList:
    case ControlKind::IpAddress:
    case ControlKind::ListView:
        return true;
    default:
        return false;
    }
}

// The input right below `label`, or nullptr.
const TemplateControl* ControlBelow(const TemplateControl& label,
                                    const DialogTemplate& dialogTemplate) {
    const TemplateControl* nearest = nullptr;
    int nearestGap = std::numeric_limits<int>::max();
    for (const TemplateControl& control : dialogTemplate.controls) {
        const int gap = control.y - (label.y + label.height);
        const bool overlaps =
            control.x < label.x + label.width && label.x < control.x + control.width;
        if (IsInput(control.kind) && overlaps && gap >= 0 && gap < nearestGap) {
            nearest = &control;
            nearestGap = gap;
        }
    }
    return nearest;
}

} // namespace

void NameControlsByLabels(const BuiltDialog& built, const DialogTemplate& dialogTemplate) {
    static const QString kRequiredMark = QStringLiteral("(*)");
    for (const TemplateControl& labelControl : dialogTemplate.controls) {
        if (labelControl.kind != ControlKind::Label)
            continue;
        const TemplateControl* below = ControlBelow(labelControl, dialogTemplate);
        auto* label = built.Get<QLabel>(labelControl.id);
        QWidget* control = below != nullptr ? built.Get<QWidget>(below->id) : nullptr;
        if (label == nullptr || control == nullptr)
            continue;
        label->setBuddy(control);
        QString name = label->text();
        if (name.startsWith(kRequiredMark)) {
            name.remove(0, kRequiredMark.size());
            control->setAccessibleDescription(QStringLiteral("Required"));
        }
        if (auto* address = qobject_cast<IpAddressEdit*>(control))
            address->SetAccessibleAddressName(name);
        else
            control->setAccessibleName(name);
    }
}
