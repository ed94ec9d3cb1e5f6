# Thin front over CMake. `make` installs what is missing, configures and builds;
# `make test` runs every test through CTest. SANITIZE=address,undefined or
# SANITIZE=thread builds into a separate tree so the plain build stays intact.
SANITIZE   ?=
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= 2
comma      := ,
ifeq ($(strip $(SANITIZE)),)
BUILD_DIR  ?= build
else
BUILD_DIR  ?= build-san-$(subst $(comma),-,$(SANITIZE))
endif

.PHONY: all deps configure build test bench fuzz demo clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	  -DSANITIZE=$(SANITIZE) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300

bench: build
	@scripts/run-bench.sh $(BUILD_DIR)

# Long libFuzzer runs in a clang tree of their own (build-fuzz); FUZZ_SECONDS
# per target.
FUZZ_SECONDS ?= 300
fuzz: deps
	@scripts/run-fuzz.sh --build-dir build-fuzz --seconds $(FUZZ_SECONDS) --jobs $(JOBS)

demo: build
	@scripts/run-demo.sh $(BUILD_DIR)

clean:
	rm -rf build build-san-*
