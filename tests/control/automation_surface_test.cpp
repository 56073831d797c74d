// The control's own meta-object is exactly the automation surface and its two signals, and calls by
// DISPID reach it.
#include "control_fixture.h"
#include "qx/interface/members.h"

#include <QMetaMethod>
#include <QMetaProperty>
#include <vector>

namespace qx::test {
namespace {

using automation::kMembers;
using automation::MemberKind;

// The table's members of one kind, in DISPID order: the original ones first, then those added.
std::vector<const automation::Member*> membersOfKind(MemberKind kind) {
    std::vector<const automation::Member*> out;
    for (const automation::Member& m : kMembers)
        if (m.kind == kind)
            out.push_back(&m);
    return out;
}

TEST(AutomationSurface, OwnPropertiesAreTheTableInDispidOrder) {
    const QMetaObject& mo = control::CMorvelQxWebCtrl::staticMetaObject;
    const auto properties = membersOfKind(MemberKind::Property);
    ASSERT_EQ(properties.size(), std::size_t(automation::kPropertyCount + 5));
    ASSERT_EQ(mo.propertyCount() - mo.propertyOffset(), int(properties.size()));
    for (std::size_t i = 0; i < properties.size(); ++i) {
        const QMetaProperty p = mo.property(mo.propertyOffset() + int(i));
        const automation::Member& m = *properties[i];
        EXPECT_STREQ(p.name(), m.name) << "DISPID " << m.dispid;
        EXPECT_EQ(p.metaType(), metaTypeOf(m.type)) << m.name;
        EXPECT_TRUE(p.isReadable() && p.isWritable()) << m.name;
    }
    // The original members keep their places: properties 1..43, methods 44..82.
    for (int d = 1; d <= automation::kOriginalMemberCount; ++d)
        EXPECT_EQ(automation::memberByDispid(d)->kind,
                  d <= automation::kPropertyCount ? MemberKind::Property : MemberKind::Method)
            << d;
}

TEST(AutomationSurface, OwnMethodsAreTheTableInDispidOrder) {
    const QMetaObject& mo = control::CMorvelQxWebCtrl::staticMetaObject;
    const auto methods = membersOfKind(MemberKind::Method);
    // Besides the surface the control has only its three signals, which come first in its meta-object.
    const int signalCount = 3;
    ASSERT_EQ(mo.method(mo.methodOffset()).methodSignature(), QByteArray("AutoCaptureStateChanged(int)"));
    ASSERT_EQ(mo.method(mo.methodOffset() + 1).methodSignature(), QByteArray("AutoCaptured(int,QString)"));
    ASSERT_EQ(mo.method(mo.methodOffset() + 2).methodSignature(),
              QByteArray("WorkProgress(QString,int,int)"));
    ASSERT_EQ(mo.methodCount() - mo.methodOffset() - signalCount, int(methods.size()));
    for (std::size_t i = 0; i < methods.size(); ++i) {
        const QMetaMethod mm = mo.method(mo.methodOffset() + signalCount + int(i));
        const automation::Member& m = *methods[i];
        EXPECT_EQ(mm.methodType(), QMetaMethod::Method) << m.name;
        EXPECT_EQ(mm.name(), QByteArray(m.name)) << "DISPID " << m.dispid;
        EXPECT_EQ(mm.returnMetaType(), metaTypeOf(m.type)) << m.name;
        ASSERT_EQ(static_cast<std::size_t>(mm.parameterCount()), m.argCount) << m.name;
        for (int a = 0; a < mm.parameterCount(); ++a) {
            EXPECT_EQ(mm.parameterMetaType(a), metaTypeOf(m.args[static_cast<std::size_t>(a)].type))
                << m.name;
            EXPECT_EQ(mm.parameterNames().at(a), QByteArray(m.args[static_cast<std::size_t>(a)].name))
                << m.name;
        }
    }
}

TEST(AutomationSurface, TableLookups) {
    EXPECT_EQ(automation::memberByDispid(0), nullptr);
    EXPECT_EQ(automation::memberByDispid(automation::kLastDispid + 1), nullptr);
    EXPECT_STREQ(automation::memberByDispid(83)->name, "strTlsCaFile");
    EXPECT_STREQ(automation::memberByDispid(84)->name, "bTlsVerify");
    EXPECT_STREQ(automation::memberByDispid(85)->name, "bPdfOcr");
    EXPECT_STREQ(automation::memberByDispid(86)->name, "strOcrLanguages");
    EXPECT_STREQ(automation::memberByDispid(87)->name, "StartAutoCapture");
    EXPECT_STREQ(automation::memberByDispid(91)->name, "GetAutoCaptureCount");
    EXPECT_STREQ(automation::memberByDispid(47)->name, "Morvel");
    EXPECT_EQ(automation::memberByName("TifTool")->dispid, 82);
    EXPECT_EQ(automation::memberByName("tiftool"), nullptr);
}

class DispatchTest : public ControlTest {};

TEST_F(DispatchTest, EveryMemberIsBound) {
    createControl();
    MetaObjectDispatcher dispatcher(m_control);
    EXPECT_TRUE(dispatcher.unboundMembers().isEmpty())
        << dispatcher.unboundMembers().join(u',').toStdString();
}

TEST_F(DispatchTest, PropertyPutsByDispidReachTheNamedProperty) {
    createControl();
    // Distinct values for every property first, then read them all back by name: a DISPID mapped to
    // the wrong property shows up as a value in the wrong place.
    auto valueFor = [](const automation::Member& m) -> QVariant {
        switch (m.type) {
        case automation::ValueType::Bstr:
            return QStringLiteral("value-%1").arg(m.dispid);
        case automation::ValueType::Bool:
            return m.dispid % 2 == 0;
        case automation::ValueType::Long:
            return 7000 + m.dispid;
        case automation::ValueType::Short:
            return static_cast<short>(300 + m.dispid);
        default:
            return QVariant();
        }
    };
    for (const automation::Member& m : kMembers) {
        if (m.kind != MemberKind::Property)
            continue;
        ASSERT_EQ(m_control->put(m.dispid, valueFor(m)), DispatchStatus::Ok) << m.dispid;
    }
    for (const automation::Member& m : kMembers) {
        if (m.kind != MemberKind::Property)
            continue;
        const int d = m.dispid;
        const QVariant byName = m_control->property(m.name);
        EXPECT_EQ(byName, valueFor(m)) << m.name;
        EXPECT_EQ(get(d), byName) << m.name;
    }
}

TEST_F(DispatchTest, MethodCallsByDispidReachTheirMember) {
    createControl();
    const int before = static_cast<int>(log().size());
    EXPECT_EQ(call(56), QVariant(true)); // IsMerge
    EXPECT_EQ(logSince(before), QStringList{QStringLiteral("选择合并模式!")});
    EXPECT_EQ(call(47, {QStringLiteral("JPG")}), QVariant(-10)); // Morvel without a preview
    EXPECT_EQ(call(50), QVariant(0));                            // StopPreview
    EXPECT_EQ(call(53, {1}).toInt(), 1);                         // SetDevNameSel beyond the count
    EXPECT_EQ(call(53, {0}).toInt(), 0);
    EXPECT_EQ(call(52, {0}), QVariant(QString()));                                    // GetDevNameByIdx
    EXPECT_EQ(call(80, {0}).toInt(), -1);                                             // RemoveLocalImg
    EXPECT_EQ(call(73, {m_tempFolder.file(QStringLiteral("none.jpg"))}).toInt(), -1); // DeleteImgByName
    EXPECT_EQ(call(45, {"127.0.0.1", "21", "u", "p", "/\r\n", "f"}), QVariant(-6));   // MorvelNet
    EXPECT_EQ(call(70, {m_tempFolder.path()}), QVariant(0));                          // VideoRecord
    EXPECT_EQ(call(55), QVariant(-5));                                                // MergeImage
    EXPECT_EQ(call(74, {m_tempFolder.path()}), QVariant(false));                      // IDCardRead

    m_control->setCFileList(QStringLiteral("a|b|"));
    call(46); // ResetFileList
    EXPECT_EQ(m_control->cFileList(), QString());
}

TEST_F(DispatchTest, ResultTypesFollowTheDispatchTable) {
    createControl();
    EXPECT_EQ(call(56).metaType().id(), QMetaType::Bool); // IsMerge: BOOL although declared long
    EXPECT_EQ(call(72, {QStringLiteral("/nonexistent")}).metaType().id(), QMetaType::Bool);
    EXPECT_EQ(call(64, {0}).metaType().id(), QMetaType::Short);
    EXPECT_EQ(call(51).metaType().id(), QMetaType::Int);
    EXPECT_EQ(call(63, {0}).metaType().id(), QMetaType::QString);
    EXPECT_FALSE(call(60).isValid()); // ConfigCameraFilter answers nothing
}

TEST_F(DispatchTest, BadCallsAreRefusedWithoutReachingTheControl) {
    createControl();
    QVariant v;
    EXPECT_EQ(m_control->get(0, v), DispatchStatus::UnknownDispid);
    EXPECT_EQ(m_control->get(automation::kLastDispid + 1, v), DispatchStatus::UnknownDispid);
    EXPECT_EQ(m_control->get(56, v), DispatchStatus::WrongKind);
    EXPECT_EQ(m_control->put(47, 1), DispatchStatus::WrongKind);
    EXPECT_EQ(m_control->invoke(2, {}, v), DispatchStatus::WrongKind);
    EXPECT_EQ(m_control->invoke(52, {}, v), DispatchStatus::BadArgumentCount);
    EXPECT_EQ(m_control->invoke(52, {1, 2}, v), DispatchStatus::BadArgumentCount);
    EXPECT_EQ(m_control->invoke(53, {QStringLiteral("abc")}, v), DispatchStatus::BadArgumentType);
    EXPECT_EQ(m_control->put(36, QStringLiteral("ten")), DispatchStatus::BadArgumentType);
    EXPECT_EQ(m_control->pDPI(), 0);
}

TEST_F(DispatchTest, ArgumentsConvertLikeAutomationVariants) {
    createControl();
    EXPECT_EQ(m_control->put(36, QStringLiteral("300")), DispatchStatus::Ok);
    EXPECT_EQ(m_control->pDPI(), 300);
    EXPECT_EQ(m_control->put(9, 2500.0), DispatchStatus::Ok);
    EXPECT_EQ(m_control->asfBitRate(), 2500);
    EXPECT_EQ(m_control->put(6, 1), DispatchStatus::Ok);
    EXPECT_TRUE(m_control->bUploadDel());
    EXPECT_EQ(m_control->put(6, QStringLiteral("FALSE")), DispatchStatus::Ok);
    EXPECT_FALSE(m_control->bUploadDel());
    EXPECT_EQ(m_control->put(2, 42), DispatchStatus::Ok);
    EXPECT_EQ(m_control->cPicName(), QStringLiteral("42"));
    // An empty variant is the type's empty value.
    EXPECT_EQ(m_control->put(2, QVariant()), DispatchStatus::Ok);
    EXPECT_EQ(m_control->cPicName(), QString());
}

TEST_F(DispatchTest, PropertyChangesMarkTheControlModifiedExceptRecording) {
    createControl();
    EXPECT_FALSE(m_control->isModified());
    ASSERT_EQ(m_control->put(1, true), DispatchStatus::Ok); // bIsRecord
    EXPECT_FALSE(m_control->isModified());
    ASSERT_EQ(m_control->put(39, 5), DispatchStatus::Ok); // WndLeft
    EXPECT_TRUE(m_control->isModified());
}

} // namespace
} // namespace qx::test
