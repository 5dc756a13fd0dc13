#pragma once

// The OpenAPI description that the service hands out at /openapi.json, built from
// cli/openapi.json.
namespace cli {

extern const char kOpenApiDocument[];

}  // namespace cli
