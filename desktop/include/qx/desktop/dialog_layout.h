// Where the controls of the main dialog (102) and of the card panel (154) sit, in dialog units.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <span>

namespace qx::desktop {

struct ControlPlacement {
    int id;
    QRect units;         // x, y, width, height in dialog units
    const char* caption; // UTF-8; empty when the control has none
    int bitmap;          // resource id of its image, 0 for none
};

inline constexpr QSize kMainDialogUnits{611, 445};
inline constexpr QSize kCardPanelUnits{242, 445};

std::span<const ControlPlacement> mainDialogControls();
std::span<const ControlPlacement> cardPanelControls();

// The placement of control `id` in the main dialog or the card panel; nullptr when there is none.
const ControlPlacement* mainDialogControl(int id);
const ControlPlacement* cardPanelControl(int id);

} // namespace qx::desktop
