#include "platform/accessibility.h"

#include "platform/accessible_edit_box.h"
#include "platform/accessible_plot.h"
#include "platform/edit_box.h"
#include "platform/form.h"
#include "platform/paint_box.h"

#include <QAccessibleWidget>

namespace {

// Asked for each class of an object from the most derived up, before Qt's own interfaces.
QAccessibleInterface* interfaceFor(const QString& className, QObject* object) {
    if (className == QLatin1String(Form::staticMetaObject.className())) {
        auto* form = static_cast<Form*>(object);
        return form->isWindow() ? new QAccessibleWidget(form, QAccessible::Window) : nullptr;
    }
    if (className == QLatin1String(EditBox::staticMetaObject.className()))
        return new AccessibleEditBox(static_cast<EditBox*>(object));
    if (className == QLatin1String(PaintBox::staticMetaObject.className()))
        return new AccessiblePlot(static_cast<PaintBox*>(object));
    return nullptr;
}

} // namespace

void installAccessibility() {
    QAccessible::installFactory(interfaceFor);
}
