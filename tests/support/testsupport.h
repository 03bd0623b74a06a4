#pragma once

// Shared test helpers live in tests/support/; each adds its own header.
