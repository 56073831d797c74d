// Enumerates video inputs: virtual cameras from QX_VIRTUAL_CAMERAS, then GStreamer's device monitor.
#include "qx/media/devices.h"
#include "qx/media/virtual_camera.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <map>
#include <mutex>

namespace qx::media {

bool ensureGstreamer() {
    static const bool ok = [] {
        GError* error = nullptr;
        const bool r = gst_init_check(nullptr, nullptr, &error);
        if (error) {
            qWarning("GStreamer cannot start: %s", error->message);
            g_error_free(error);
        }
        return r;
    }();
    return ok;
}

QString usbDevicePath(unsigned vendorId, unsigned productId, const QString& instance) {
    return QString::asprintf("usb#vid_%04x&pid_%04x&mi_00#", vendorId & 0xffff, productId & 0xffff) +
           instance;
}

namespace {

// The same virtual cameras for the same description, so their picture controls stay set while a
// preview runs and the list is enumerated again.
std::vector<VideoDevice> virtualDevices() {
    static std::mutex mutex;
    static QString cachedText;
    static std::vector<std::shared_ptr<VirtualCamera>> cached;

    const QString text = qEnvironmentVariable("QX_VIRTUAL_CAMERAS").trimmed();
    std::lock_guard lock(mutex);
    if (text != cachedText) {
        cachedText = text;
        cached.clear();
        QString error;
        if (const auto specs = parseVirtualCameras(text, &error)) {
            for (std::size_t i = 0; i < specs->size(); ++i)
                cached.push_back(std::make_shared<VirtualCamera>((*specs)[i], static_cast<int>(i)));
        } else {
            qWarning("QX_VIRTUAL_CAMERAS is ignored: %s", qPrintable(error));
        }
    }
    std::vector<VideoDevice> out;
    for (const auto& camera : cached) {
        if (camera->unplugged())
            continue; // the others keep their names and paths, as real cameras do
        VideoDevice d;
        d.name = QStringLiteral("Virtual document camera %1").arg(camera->index() + 1);
        d.devicePath = usbDevicePath(camera->spec().vendorId, camera->spec().productId,
                                     QStringLiteral("virtual-%1").arg(camera->index()));
        d.formats = camera->spec().formats;
        d.virtualCamera = camera;
        out.push_back(std::move(d));
    }
    return out;
}

QString propertyString(const GstStructure* props, const char* name) {
    const gchar* v = props ? gst_structure_get_string(props, name) : nullptr;
    return v ? QString::fromUtf8(v) : QString();
}

// USB ids from the sysfs folder of a video device: the first parent that has idVendor and idProduct.
bool usbIdsFromSysfs(const QString& sysfsPath, unsigned& vendor, unsigned& product) {
    QString dir = QFileInfo(sysfsPath).canonicalFilePath();
    for (int depth = 0; depth < 8 && dir.size() > 1; ++depth) {
        QFile v(dir + QStringLiteral("/idVendor"));
        QFile p(dir + QStringLiteral("/idProduct"));
        if (v.open(QIODevice::ReadOnly) && p.open(QIODevice::ReadOnly)) {
            bool okV = false, okP = false;
            vendor = QString::fromLatin1(v.readAll()).trimmed().toUInt(&okV, 16);
            product = QString::fromLatin1(p.readAll()).trimmed().toUInt(&okP, 16);
            return okV && okP;
        }
        dir = QFileInfo(dir).path();
    }
    return false;
}

void maxRate(const GValue* rate, int& num, int& den) {
    auto consider = [&](int n, int d) {
        if (d > 0 && n > 0 && (num == 0 || static_cast<double>(n) / d > static_cast<double>(num) / den)) {
            num = n;
            den = d;
        }
    };
    if (!rate)
        return;
    if (GST_VALUE_HOLDS_FRACTION(rate)) {
        consider(gst_value_get_fraction_numerator(rate), gst_value_get_fraction_denominator(rate));
    } else if (GST_VALUE_HOLDS_LIST(rate)) {
        for (guint i = 0; i < gst_value_list_get_size(rate); ++i)
            maxRate(gst_value_list_get_value(rate, i), num, den);
    } else if (GST_VALUE_HOLDS_FRACTION_RANGE(rate)) {
        maxRate(gst_value_get_fraction_range_max(rate), num, den);
    }
}

std::vector<QString> formatNames(const GstStructure* s) {
    const QString media = QString::fromUtf8(gst_structure_get_name(s));
    if (media == QLatin1String("image/jpeg"))
        return {QStringLiteral("MJPG")};
    if (media != QLatin1String("video/x-raw"))
        return {};
    const GValue* f = gst_structure_get_value(s, "format");
    std::vector<QString> out;
    if (f && G_VALUE_HOLDS_STRING(f)) {
        out.push_back(QString::fromUtf8(g_value_get_string(f)));
    } else if (f && GST_VALUE_HOLDS_LIST(f)) {
        for (guint i = 0; i < gst_value_list_get_size(f); ++i) {
            const GValue* item = gst_value_list_get_value(f, i);
            if (G_VALUE_HOLDS_STRING(item))
                out.push_back(QString::fromUtf8(g_value_get_string(item)));
        }
    }
    return out;
}

std::vector<VideoFormat> formatsOf(GstCaps* caps) {
    std::vector<VideoFormat> out;
    if (!caps)
        return out;
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        const GstStructure* s = gst_caps_get_structure(caps, i);
        int w = 0, h = 0;
        // Only discrete sizes are capture sizes; ranges come from converters, not cameras.
        if (!gst_structure_get_int(s, "width", &w) || !gst_structure_get_int(s, "height", &h))
            continue;
        int num = 0, den = 1;
        maxRate(gst_structure_get_value(s, "framerate"), num, den);
        for (const QString& fourcc : formatNames(s))
            out.push_back(VideoFormat{fourcc, w, h, num, den});
    }
    return out;
}

std::optional<std::vector<VideoDevice>> realDevices() {
    GstDeviceMonitor* monitor = gst_device_monitor_new();
    if (!monitor)
        return std::nullopt;
    gst_device_monitor_add_filter(monitor, "Video/Source", nullptr);
    if (!gst_device_monitor_start(monitor)) {
        gst_object_unref(monitor);
        return std::nullopt;
    }
    std::vector<VideoDevice> out;
    GList* list = gst_device_monitor_get_devices(monitor);
    for (GList* it = list; it; it = it->next) {
        auto* device = GST_DEVICE(it->data);
        GstStructure* props = gst_device_get_properties(device);
        VideoDevice d;
        gchar* name = gst_device_get_display_name(device);
        d.name = QString::fromUtf8(name ? name : "");
        g_free(name);
        d.node = propertyString(props, "device.path");
        bool okV = false, okP = false;
        unsigned vendor = propertyString(props, "device.vendor.id").toUInt(&okV, 16);
        unsigned product = propertyString(props, "device.product.id").toUInt(&okP, 16);
        if (!(okV && okP))
            okV = okP = usbIdsFromSysfs(propertyString(props, "sysfs.path"), vendor, product);
        QString instance = propertyString(props, "device.serial");
        if (instance.isEmpty())
            instance = propertyString(props, "device.bus_path");
        if (instance.isEmpty())
            instance = d.node;
        if (okV && okP)
            d.devicePath = usbDevicePath(vendor, product, instance);
        GstCaps* caps = gst_device_get_caps(device);
        d.formats = formatsOf(caps);
        if (caps)
            gst_caps_unref(caps);
        if (props)
            gst_structure_free(props);
        d.device = DeviceRef(GST_DEVICE(gst_object_ref(device)));
        out.push_back(std::move(d));
    }
    g_list_free_full(list, gst_object_unref);
    gst_device_monitor_stop(monitor);
    gst_object_unref(monitor);
    return out;
}

} // namespace

std::optional<std::vector<VideoDevice>> enumerateVideoDevices() {
    std::vector<VideoDevice> devices = virtualDevices();
    if (!ensureGstreamer())
        return devices.empty() ? std::nullopt : std::optional(std::move(devices));
    auto real = realDevices();
    if (!real)
        return devices.empty() ? std::nullopt : std::optional(std::move(devices));
    for (auto& d : *real)
        devices.push_back(std::move(d));
    return devices;
}

std::vector<VideoFormat> yuy2Formats(const VideoDevice& device) {
    std::vector<VideoFormat> out;
    for (const VideoFormat& f : device.formats) {
        if (f.fourcc != QLatin1String("YUY2"))
            continue;
        bool seen = false;
        for (const VideoFormat& o : out)
            seen = seen || (o.width == f.width && o.height == f.height);
        if (!seen)
            out.push_back(f);
    }
    return out;
}

std::optional<VideoFormat> findFormat(const VideoDevice& device, const QString& fourcc, int width,
                                      int height) {
    std::optional<VideoFormat> best;
    for (const VideoFormat& f : device.formats) {
        if (f.fourcc != fourcc || f.width != width || f.height != height)
            continue;
        if (!best ||
            static_cast<double>(f.rateNum) / f.rateDen > static_cast<double>(best->rateNum) / best->rateDen)
            best = f;
    }
    return best;
}

std::optional<VideoFormat> findYuy2Format(const VideoDevice& device, int width, int height) {
    return findFormat(device, QStringLiteral("YUY2"), width, height);
}

} // namespace qx::media
