// The OK and Cancel buttons of a small dialog, the same in each: OK is the
// default, they accept and reject the dialog, right-aligned in a row of
// their own. Tests find them by the names "ok" and "cancel".
#pragma once

class QDialog;
class QHBoxLayout;

QHBoxLayout* OkCancelRow(QDialog* dialog);
