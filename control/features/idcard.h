// Identity cards in the control: reading a card through the card-reading library, and its uploads.
#pragma once

#include <QString>

namespace qx::control {

class ControlContext;
class Uploads;

class CardReading {
public:
    CardReading(ControlContext& control, Uploads& uploads) : m_control(control), m_uploads(uploads) {}

    bool IDCardRead(const QString& m_strBmpPath);
    bool HttpSendIDCard(const QString& strURL);
    bool HttpSendIDCHeadImg(const QString& strURL);

private:
    ControlContext& m_control;
    Uploads& m_uploads;
};

} // namespace qx::control
