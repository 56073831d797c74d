// The preview pipeline under GStreamer's leaks tracer: whatever a failed or finished preview made, no
// element and no caps of it outlives it.
#include "qx/media/devices.h"
#include "qx/media/gst_util.h"
#include "qx/media/preview_pipeline.h"
#include "qx/media/virtual_camera.h"

#include <QGuiApplication>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qx::test {
namespace {

using namespace qx::media;

// The leaks tracer this program started with; null when GStreamer offers none.
GObject* leaksTracer() {
    static GObject* const tracer = [] {
        GObject* found = nullptr;
        GList* tracers = gst_tracing_get_active_tracers();
        for (GList* it = tracers; it; it = it->next)
            if (!found && g_strcmp0(G_OBJECT_TYPE_NAME(it->data), "GstLeaksTracer") == 0)
                found = G_OBJECT(gst_object_ref(it->data));
        g_list_free_full(tracers, gst_object_unref);
        return found;
    }();
    return tracer;
}

// Elements and caps made while it exists that are still alive. The tracer reports made and destroyed
// objects by address; an address can be used again once its object is gone, so an object counts as
// alive when its address was made more often than destroyed.
class Survivors {
public:
    Survivors() { g_signal_emit_by_name(leaksTracer(), "activity-start-tracking"); }
    ~Survivors() { g_signal_emit_by_name(leaksTracer(), "activity-stop-tracking"); }
    Survivors(const Survivors&) = delete;
    Survivors& operator=(const Survivors&) = delete;

    // "GstCaps 0x..." for each survivor, as far as the tracer has seen.
    std::vector<std::string> now() {
        GstStructure* checkpoint = nullptr;
        g_signal_emit_by_name(leaksTracer(), "activity-get-checkpoint", &checkpoint);
        if (!checkpoint) {
            ADD_FAILURE() << "the leaks tracer gave no checkpoint";
            return {};
        }
        count(gst_structure_get_value(checkpoint, "objects-created-list"), +1);
        count(gst_structure_get_value(checkpoint, "objects-removed-list"), -1);
        gst_structure_free(checkpoint);
        std::vector<std::string> out;
        for (const auto& [address, entry] : m_balance)
            if (entry.balance > 0 && tracked(entry.type))
                out.push_back(entry.type + " " + address);
        return out;
    }

private:
    struct Entry {
        std::string type;
        int balance = 0;
    };

    static bool tracked(const std::string& type) {
        const GType t = g_type_from_name(type.c_str());
        return t && (g_type_is_a(t, GST_TYPE_ELEMENT) || t == GST_TYPE_CAPS);
    }

    void count(const GValue* list, int step) {
        ASSERT_TRUE(list && GST_VALUE_HOLDS_LIST(list));
        for (guint i = 0; i < gst_value_list_get_size(list); ++i) {
            const GstStructure* s = gst_value_get_structure(gst_value_list_get_value(list, i));
            const char* type = gst_structure_get_string(s, "type-name");
            const char* address = gst_structure_get_string(s, "address");
            ASSERT_TRUE(type && address);
            Entry& e = m_balance[address];
            e.type = type;
            e.balance += step;
        }
    }

    std::map<std::string, Entry> m_balance;
};

// Takes an element factory out of the registry for the scope, as if its plugin were not installed.
class MissingFactory {
public:
    explicit MissingFactory(const char* name)
        : m_registry(gst_registry_get()), m_feature(gst_registry_lookup_feature(m_registry, name)) {
        if (m_feature)
            gst_registry_remove_feature(m_registry, m_feature);
    }
    ~MissingFactory() {
        if (m_feature) {
            gst_registry_add_feature(m_registry, m_feature);
            gst_object_unref(m_feature);
        }
    }
    MissingFactory(const MissingFactory&) = delete;
    MissingFactory& operator=(const MissingFactory&) = delete;
    bool removed() const { return m_feature != nullptr; }

private:
    GstRegistry* m_registry;
    GstPluginFeature* m_feature;
};

class PreviewLeaks : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(ensureGstreamer());
        ASSERT_NE(leaksTracer(), nullptr) << "GST_TRACERS=leaks was not taken up";
        // One preview that runs and one element for the bins, so that every element class used here is
        // loaded and its pad templates made before anything is counted: those belong to GStreamer for
        // the whole process.
        PreviewPipeline warmUp;
        ASSERT_EQ(warmUp.build(camera(), 64, 48, {}), PreviewStep::Ok);
        ASSERT_EQ(warmUp.run(), PreviewStep::Ok) << warmUp.lastError().toStdString();
        gst_object_unref(adoptElement(gst_element_factory_make("identity", nullptr)).release());
    }

    static const VideoDevice& camera() {
        static const VideoDevice device = [] {
            const auto specs = parseVirtualCameras(QStringLiteral("7e41:64x48;32x24/mjpg"));
            VideoDevice d;
            d.name = QStringLiteral("Leak-test camera");
            d.devicePath = usbDevicePath(0x2e7a, 0x7e41, QStringLiteral("leak-test"));
            d.formats = specs->front().formats;
            d.virtualCamera = std::make_shared<VirtualCamera>(specs->front(), 0);
            return d;
        }();
        return device;
    }
};

TEST_F(PreviewLeaks, AMissingElementFailsItsStepAndLeavesNothingBehind) {
    const struct {
        const char* factory;
        PreviewStep step;
    } cases[] = {
        {"appsrc", PreviewStep::AddCamera},        {"videoflip", PreviewStep::RotateCreate},
        {"appsink", PreviewStep::GrabberCreate},   {"videoconvert", PreviewStep::GrabberType},
        {"capsfilter", PreviewStep::FormatConfig},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.factory);
        MissingFactory missing(c.factory);
        ASSERT_TRUE(missing.removed());
        Survivors survivors;
        {
            PreviewPipeline pipeline;
            EXPECT_EQ(pipeline.build(camera(), 64, 48, {}), c.step);
        }
        EXPECT_EQ(survivors.now(), std::vector<std::string>{});
    }
}

TEST_F(PreviewLeaks, SizesAndDevicesThatCannotStreamLeaveNothingBehind) {
    VideoDevice formatless = camera();
    formatless.formats.clear();
    const VideoDevice none;
    const struct {
        const char* what;
        const VideoDevice& device;
        int width;
        PreviewStep step;
    } cases[] = {
        {"a size the camera does not offer", camera(), 80, PreviewStep::FormatSet},
        {"a size offered only as MJPG", camera(), 32, PreviewStep::FormatSet},
        {"a camera without formats", formatless, 64, PreviewStep::FormatNoFormats},
        {"no camera at all", none, 64, PreviewStep::Bind},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Survivors survivors;
        {
            PreviewPipeline pipeline;
            EXPECT_EQ(pipeline.build(c.device, c.width, c.width * 3 / 4, {}), c.step);
        }
        EXPECT_EQ(survivors.now(), std::vector<std::string>{});
    }
}

TEST_F(PreviewLeaks, APreviewThatRanLeavesNothingBehindOnceDestroyed) {
    Survivors survivors;
    {
        PreviewPipeline pipeline;
        ASSERT_EQ(pipeline.build(camera(), 64, 48, {}), PreviewStep::Ok);
        ASSERT_EQ(pipeline.run(), PreviewStep::Ok) << pipeline.lastError().toStdString();
        EXPECT_FALSE(survivors.now().empty()); // the running preview's own elements are counted
    }
    EXPECT_EQ(survivors.now(), std::vector<std::string>{});
}

TEST_F(PreviewLeaks, ABinHoldsWhatItTookAndARefusedElementIsReleased) {
    const ElementRef bin = adoptElement(gst_pipeline_new("bin"));
    ASSERT_TRUE(bin);
    Survivors survivors;
    GstElement* taken =
        addToBin(GST_BIN(bin.get()), adoptElement(gst_element_factory_make("identity", "Twin")));
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(GST_OBJECT_PARENT(taken), GST_OBJECT(bin.get()));
    EXPECT_EQ(GST_OBJECT_REFCOUNT_VALUE(taken), 1); // the bin's reference, and no other

    // A second element of the same name is refused.
    EXPECT_EQ(addToBin(GST_BIN(bin.get()), adoptElement(gst_element_factory_make("identity", "Twin"))),
              nullptr);
    const auto alive = survivors.now(); // the first one, in the bin
    ASSERT_EQ(alive.size(), 1u);
    EXPECT_EQ(alive[0].rfind("GstIdentity ", 0), 0u) << alive[0];
    // An element that has a parent already is refused and stays with that parent.
    const ElementRef other = adoptElement(gst_pipeline_new("other"));
    EXPECT_EQ(addToBin(GST_BIN(other.get()), ElementRef(GST_ELEMENT(gst_object_ref(taken)))), nullptr);
    EXPECT_EQ(GST_OBJECT_PARENT(taken), GST_OBJECT(bin.get()));
    EXPECT_EQ(GST_OBJECT_REFCOUNT_VALUE(taken), 1);
    // Nothing to add is no element.
    EXPECT_EQ(addToBin(GST_BIN(bin.get()), ElementRef()), nullptr);
}

TEST_F(PreviewLeaks, ABinLeavesNothingBehindWithWhatItTook) {
    Survivors survivors;
    {
        const ElementRef bin = adoptElement(gst_pipeline_new("bin"));
        ASSERT_NE(addToBin(GST_BIN(bin.get()), adoptElement(gst_element_factory_make("identity", "One"))),
                  nullptr);
        EXPECT_EQ(addToBin(GST_BIN(bin.get()), adoptElement(gst_element_factory_make("identity", "One"))),
                  nullptr);
    }
    EXPECT_EQ(survivors.now(), std::vector<std::string>{});
}

} // namespace
} // namespace qx::test

// The tracer is chosen when GStreamer starts, so it is set before anything can start it.
int main(int argc, char** argv) {
    qputenv("GST_TRACERS", "leaks");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The virtual camera draws its scene with Qt's painter, which needs the GUI application.
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
