#include "crawlers/CrawlerCatalogue.h"

#include <gtest/gtest.h>

#include "crawlers/CrawlerCategory.h"

namespace trawlmeter::crawlers {
namespace {

TEST(CrawlerCatalogueTest, ACategoryComesFromTheFirstKnownTagInPrecedence) {
    using enum CrawlerCategory;
    EXPECT_EQ(categoryOfTags({"search-engine", "ai-crawler"}), AiCrawler);
    EXPECT_EQ(categoryOfTags({"ai-crawler", "search-engine"}), AiCrawler);
    EXPECT_EQ(categoryOfTags({"advertising", "search-engine"}), Advertising);
    EXPECT_EQ(categoryOfTags({"feed-reader", "seo"}), FeedReader);
    EXPECT_EQ(categoryOfTags({"not-yet-known", "http-library"}), HttpLibrary);
    EXPECT_EQ(categoryOfTags({"not-yet-known"}), Other);
    EXPECT_EQ(categoryOfTags({}), Other);
    EXPECT_EQ(categoryTag(SocialPreview), "social-preview");
    EXPECT_EQ(categoryOfTag(categoryTag(Monitoring)), Monitoring);
    EXPECT_FALSE(categoryOfTag("other"));
}

TEST(CrawlerCatalogueTest, ShippedCrawlersHaveTheCategoriesOfTheirTags) {
    const auto catalogue = CrawlerCatalogue::shipped();
    ASSERT_TRUE(catalogue);
    using enum CrawlerCategory;
    EXPECT_EQ(catalogue->categoryOf("GPTBot"), AiCrawler);
    // Tagged both search-engine and ai-crawler.
    EXPECT_EQ(catalogue->categoryOf("OAI-SearchBot"), AiCrawler);
    EXPECT_EQ(catalogue->categoryOf("bingbot"), SearchEngine);
    EXPECT_EQ(catalogue->categoryOf("Wget"), HttpLibrary);
    EXPECT_EQ(catalogue->categoryOf("facebookexternalhit"), SocialPreview);
    EXPECT_FALSE(catalogue->categoryOf("Mozilla"));
}

TEST(CrawlerCatalogueTest, EntriesSharingANameShareTheFirstCategoryInPrecedenceOfAllTheirTags) {
    // As the shipped list has "Owler \(ows\.eu" and ";Owler", with the tags made to differ.
    const auto catalogue = CrawlerCatalogue::fromList({
        {"Owler \\(ows\\.eu", "", {}, {"search-engine"}, {}},
        {"GPTBot", "", {}, {"ai-crawler"}, {}},
        {";Owler", "", {}, {"seo", "advertising"}, {}},
    });
    ASSERT_EQ(catalogue.crawlers().size(), 3u);
    EXPECT_EQ(catalogue.crawlers()[0].category, CrawlerCategory::Advertising);
    EXPECT_EQ(catalogue.crawlers()[2].category, CrawlerCategory::Advertising);
    EXPECT_EQ(catalogue.categoryOf("Owler"), CrawlerCategory::Advertising);
    EXPECT_EQ(catalogue.categoryOf("GPTBot"), CrawlerCategory::AiCrawler);
}

} // namespace
} // namespace trawlmeter::crawlers
