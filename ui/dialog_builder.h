// Builds the controls of a dialog template on a widget.
#pragma once

#include "res/dialog_templates.h"
#include "res/dialog_units.h"

#include <QWidget>

#include <map>

class QDialog;

// The controls by id, in template order. List views are QTableViews set up as report lists.
struct BuiltDialog {
    DialogUnits units;
    std::map<int, QWidget*> controls;

    template <class T> T* Get(int id) const {
        const auto it = controls.find(id);
        return it == controls.end() ? nullptr : qobject_cast<T*>(it->second);
    }
};

// Creates the template's controls as children of `dialog`, at their places for the dialog's
// font, gives the dialog its title and client size, and chains the tab order in template order.
BuiltDialog BuildDialogTemplate(QDialog* dialog, const DialogTemplate& dialogTemplate);

// Object name given to a template control, so that tests and accessibility tools find it.
QString ControlObjectName(int id);
