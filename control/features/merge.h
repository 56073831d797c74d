// Merge mode and MergeImage: the pictures taken in merge mode, put together into one file.
#pragma once

namespace qx::control {

class ControlContext;

// Set by IsMerge, cleared by StartPreviewProc and by every merge capture; shared by every control of
// the process.
extern bool mergeMode;

class Merge {
public:
    explicit Merge(ControlContext& control) : m_control(control) {}

    int MergeImage();
    bool IsMerge();

private:
    ControlContext& m_control;
};

} // namespace qx::control
