#pragma once

class QDialog;
class QDialogButtonBox;

namespace qv {

// "OK" and "Anuluj" for a dialog, accepting and rejecting it.
QDialogButtonBox* okCancelButtons(QDialog* dialog);

}  // namespace qv
