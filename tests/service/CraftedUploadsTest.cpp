// Crafted uploads of a save's size, posted to quorvel-verifyd on 127.0.0.1:
// each is answered from the walk of its structure, before anything is
// decoded, and the service goes on serving.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <opencv2/imgproc.hpp>

#include "service/ServiceProcess.h"
#include "support/CraftedFiles.h"
#include "support/TestSupport.h"

using servicetest::Exchange;
using servicetest::Post;

TEST(CraftedUploads, EachKindIsAnsweredNotGenuineWithoutDecoding) {
    cv::Mat save;
    cv::resize(testsupport::LoadFixture("id_blue.jpg"), save, {295, 413}, 0, 0, cv::INTER_AREA);
    servicetest::ServiceProcess service({"--workers", "1", "--color", "3", "--size", "1"});
    ASSERT_NE(service.Port(), 0) << service.Stderr();
    for (const crafted::File& file : crafted::AllKinds(save, 512 * 1024, 256 * 1024 * 1024)) {
        SCOPED_TRACE(file.name);
        const servicetest::Reply reply =
            Exchange(service.Port(), Post("/verify", crafted::WithPassMarker(file.bytes)), 30);
        ASSERT_EQ(reply.status, 200) << reply.body;
        const nlohmann::json answer = nlohmann::json::parse(reply.body, nullptr, false);
        EXPECT_EQ(answer["genuine"], false);
        bool cost = false;
        for (const nlohmann::json& check : answer["checks"]) {
            const std::string rule = check["rule"];
            cost = cost || rule == "verify.cost";
            EXPECT_TRUE(rule != "verify.decode" && rule.rfind("verify.face", 0) != 0) << rule;
        }
        EXPECT_TRUE(cost) << reply.body;
    }
    EXPECT_EQ(Exchange(service.Port(), servicetest::Get("/healthz")).status, 200);
}
