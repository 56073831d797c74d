// The two modes every control of a process shares, in one object the features are handed.
#pragma once

namespace qx::control {

// Containers have always seen these as one state for the whole process: a merge mode set by one
// control's IsMerge is the next capture's of any control, and a recording window's camera is in use
// for every control. The object is the process's (ofProcess()); a feature that needs it gets it by
// reference when it is built and never looks it up.
//
// The rules, as each feature keeps them:
// - mergeMode: set by IsMerge; cleared by StartPreviewProc and by a merge capture that made its
//   picture (a merge capture that failed leaves it set: the picture was not taken).
// - recordingActive: true while a recording window's camera runs (its live picture or a recording);
//   set and cleared by the recorder only. VideoRecord and RefreshDevList copy it into bIsRecord.
// Both live on the control thread; no lock.
class ProcessModes {
public:
    static ProcessModes& ofProcess() {
        static ProcessModes modes;
        return modes;
    }

    bool mergeMode = false;
    bool recordingActive = false;

private:
    ProcessModes() = default;
};

} // namespace qx::control
