#include <gtest/gtest.h>

#include <algorithm>
#include <opencv2/imgcodecs.hpp>

#include "audit/AuditChain.h"
#include "audit/PathText.h"
#include "robustness/BadInputs.h"
#include "support/TestSupport.h"

using testsupport::Cascade;
using testsupport::TempDir;

TEST(Robustness, EveryAwkwardInputGetsAClearVerdict) {
    for (const badinputs::Case& input : badinputs::Cases()) {
        SCOPED_TRACE(input.description);
        TempDir dir;
        const std::filesystem::path path = input.make(dir.path());
        for (int size : {1, 2}) {
            cv::Mat processed;
            AuditResult result = AuditPhotoFile(Cascade(), FromUtf8(path.string()),
                                                AuditSettings{3, size}, processed);
            EXPECT_NE(
                std::find(input.acceptedStates.begin(), input.acceptedStates.end(), result.state),
                input.acceptedStates.end())
                << "size mode " << size << ": " << AuditStateName(result.state);
            if (result.state == AUDIT_PASSED) {
                EXPECT_EQ(processed.type(), CV_8UC3);
            }
        }
    }
}

TEST(Robustness, ExifOrientationIsAppliedBeforeTheAudit) {
    TempDir dir;
    const auto& cases = badinputs::Cases();
    auto exif = std::find_if(cases.begin(), cases.end(), [](const badinputs::Case& c) {
        return c.description.find("EXIF") != std::string::npos;
    });
    ASSERT_NE(exif, cases.end());
    const cv::Mat photo = DecodePhoto(exif->make(dir.path()).string());
    EXPECT_EQ(photo.size(), cv::Size(480, 640));  // stored as 640 x 480
}
