// LibreTranslate's own npm client (package "libretranslate") against a
// running tarquell-service with Apertium: SERVICE_URL names it. The client
// asks /languages first, then posts JSON to /translate.
import assert from "node:assert/strict";
import lt from "libretranslate";

const apiurl = process.env.SERVICE_URL;
assert.ok(apiurl, "SERVICE_URL is not set");

const spanish = await lt.translate({ query: "The house is red.", source: "en", target: "es", apiurl });
assert.equal(spanish, "La casa es roja.");

// Without a source the client sends "auto".
const english = await lt.translate({ query: "La casa es roja y el coche es azul.", target: "en", apiurl });
assert.equal(english, "The house is red and the car is blue.");

const html = await lt.translate({ query: "<p>The <b>house</b></p>", source: "en", target: "es", format: "html", apiurl });
assert.equal(html, "<p>La <b>casa</b></p>");

// A language the service does not list is refused by the client itself.
await assert.rejects(lt.translate({ query: "house", source: "en", target: "ru", apiurl }),
                     /This language was not found/);
console.log("libretranslate client: 4 checks passed");
