// Finds the audio inputs through the device monitor, leaving out the monitors of outputs.
#include "qx/media/audio_inputs.h"

namespace qx::media {

namespace {
bool isOutputMonitor(GstDevice* device) {
    GstStructure* props = gst_device_get_properties(device);
    bool monitor = false;
    if (props) {
        // PulseAudio and PipeWire mark the echo of an output as the "monitor" class.
        const gchar* kind = gst_structure_get_string(props, "device.class");
        monitor = kind && g_str_equal(kind, "monitor");
        gst_structure_free(props);
    }
    return monitor;
}
} // namespace

std::vector<AudioInput> enumerateAudioInputs() {
    std::vector<AudioInput> out;
    if (!qEnvironmentVariableIsEmpty("QX_VIRTUAL_AUDIO"))
        out.push_back({QStringLiteral("Virtual audio input"), {}});
    if (!ensureGstreamer())
        return out;
    GstDeviceMonitor* monitor = gst_device_monitor_new();
    if (!monitor)
        return out;
    gst_device_monitor_add_filter(monitor, "Audio/Source", nullptr);
    if (!gst_device_monitor_start(monitor)) {
        gst_object_unref(monitor);
        return out;
    }
    GList* list = gst_device_monitor_get_devices(monitor);
    for (GList* it = list; it; it = it->next) {
        auto* device = GST_DEVICE(it->data);
        if (isOutputMonitor(device))
            continue;
        gchar* name = gst_device_get_display_name(device);
        out.push_back({QString::fromUtf8(name ? name : ""), DeviceRef(GST_DEVICE(gst_object_ref(device)))});
        g_free(name);
    }
    g_list_free_full(list, gst_object_unref);
    gst_device_monitor_stop(monitor);
    gst_object_unref(monitor);
    return out;
}

ElementRef makeAudioSource(const AudioInput& input, const char* name) {
    if (!input.isVirtual())
        return adoptElement(gst_device_create_element(input.device.get(), name));
    ElementRef tone = makeElement("audiotestsrc", name);
    // A quiet tone, paced as a sound card is.
    if (tone)
        g_object_set(tone.get(), "is-live", TRUE, "volume", 0.2, nullptr);
    return tone;
}

} // namespace qx::media
