// One slider with a number box per control; OK keeps the values, Cancel restores the old ones.
#include "control/ui/camera_settings_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QSlider>
#include <QSpinBox>

namespace qx::control {

CameraSettingsDialog::CameraSettingsDialog(media::CameraControls* controls, const QString& cameraName,
                                           QWidget* parent)
    : QDialog(parent), m_controls(controls) {
    setWindowTitle(cameraName.isEmpty() ? QStringLiteral("Camera") : cameraName);
    auto* form = new QFormLayout;
    const std::vector<media::CameraControl> list = controls->list();
    for (const media::CameraControl& c : list) {
        auto* slider = new QSlider(Qt::Horizontal);
        auto* spin = new QSpinBox;
        for (auto* w : {static_cast<QWidget*>(slider), static_cast<QWidget*>(spin)})
            w->setObjectName(c.name);
        slider->setRange(c.minimum, c.maximum);
        slider->setSingleStep(c.step);
        slider->setValue(c.value);
        spin->setRange(c.minimum, c.maximum);
        spin->setSingleStep(c.step);
        spin->setValue(c.value);
        connect(slider, &QSlider::valueChanged, spin, &QSpinBox::setValue);
        connect(spin, qOverload<int>(&QSpinBox::valueChanged), slider, &QSlider::setValue);
        const unsigned id = c.id;
        connect(slider, &QSlider::valueChanged, this, [this, id](int v) { m_controls->set(id, v); });
        auto* row = new QHBoxLayout;
        row->addWidget(slider, 1);
        row->addWidget(spin);
        form->addRow(c.name, row);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, [this, list] {
        for (const media::CameraControl& c : list)
            m_controls->set(c.id, c.value);
        reject();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void CameraSettingsDialog::apply(const QVariantMap& values) {
    for (const media::CameraControl& c : m_controls->list())
        for (auto it = values.begin(); it != values.end(); ++it)
            if (it.key().compare(c.name, Qt::CaseInsensitive) == 0)
                m_controls->set(c.id, it.value().toInt());
}

} // namespace qx::control
