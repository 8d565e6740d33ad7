# Velora's two set-up commands:
#   make run    install what is missing, build, start Velora
#   make test   install what is missing, check formatting, build, run every test
# SANITIZE=address or SANITIZE=thread builds and tests a separate sanitizer tree.

SANITIZE ?=
BUILD_TYPE ?= RelWithDebInfo
ifeq ($(SANITIZE),)
BUILD_DIR ?= build
else
BUILD_DIR ?= build-$(SANITIZE)
endif

JOBS ?= $(shell nproc)
CMAKE_FLAGS = -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DVELORA_SANITIZE=$(SANITIZE) \
	-DCMAKE_CXX_COMPILER_LAUNCHER=ccache

# ASan/UBSan: Qt and fontconfig keep caches alive until exit, which LeakSanitizer would
# report on every test; the suppressions name only those libraries.
export ASAN_OPTIONS ?= detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS ?= suppressions=$(CURDIR)/tools/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS ?= print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS ?= suppressions=$(CURDIR)/tools/tsan.supp:halt_on_error=1:second_deadlock_stack=1

.PHONY: run test deps configure build format check-format bench clean

run: build
	tools/run-velora $(BUILD_DIR)/bin/velora

test: check-format build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300

deps:
	@tools/install-deps

$(BUILD_DIR)/build.ninja: | deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)

configure: deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)

check-format: deps
	@tools/check-format

format:
	@tools/check-format --fix

bench: deps
	bench/run

clean:
	rm -rf build build-address build-thread build-release
