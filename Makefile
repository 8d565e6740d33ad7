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

# The fuzz targets build with clang in a tree of their own (make fuzz); make test also runs a
# short fuzzing test there.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_CMAKE_FLAGS = -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELORA_FUZZ=ON \
	-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_COMPILER_LAUNCHER=ccache

# ASan/UBSan: Qt and fontconfig keep caches alive until exit, which LeakSanitizer would
# report on every test; the suppressions name only those libraries.
export ASAN_OPTIONS ?= detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS ?= suppressions=$(CURDIR)/tools/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS ?= print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS ?= suppressions=$(CURDIR)/tools/tsan.supp:halt_on_error=1:second_deadlock_stack=1:die_after_fork=0

.PHONY: run test deps configure build format check-format bench clean fuzz fuzz-build

run: build
	tools/run-velora $(BUILD_DIR)/bin/velora

test: check-format build fuzz-build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300
	cd $(FUZZ_DIR) && ctest --output-on-failure --timeout 300

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

$(FUZZ_DIR)/build.ninja: | deps
	cmake -S . -B $(FUZZ_DIR) $(FUZZ_CMAKE_FLAGS)

fuzz-build: deps $(FUZZ_DIR)/build.ninja
	cmake --build $(FUZZ_DIR) -j $(JOBS)

# Fuzzes the canvas reader and then the media information file reader, FUZZ_SECONDS each, over
# copies of the checked-in corpora, so that the inputs they find stay out of the repository.
fuzz: fuzz-build
	rm -rf $(FUZZ_DIR)/corpus && cp -r tests/fuzz/corpus $(FUZZ_DIR)/corpus
	QT_QPA_PLATFORM=offscreen $(FUZZ_DIR)/bin/fuzz_canvas_reader -max_total_time=$(FUZZ_SECONDS) \
		-timeout=10 -rss_limit_mb=2048 -dict=tests/fuzz/canvas.dict -print_final_stats=1 \
		-artifact_prefix=$(FUZZ_DIR)/ $(FUZZ_DIR)/corpus
	rm -rf $(FUZZ_DIR)/corpus-mediainfo && cp -r tests/fuzz/corpus-mediainfo $(FUZZ_DIR)/corpus-mediainfo
	$(FUZZ_DIR)/bin/fuzz_mediainfo_reader -max_total_time=$(FUZZ_SECONDS) \
		-timeout=10 -rss_limit_mb=2048 -dict=tests/fuzz/mediainfo.dict -print_final_stats=1 \
		-artifact_prefix=$(FUZZ_DIR)/ $(FUZZ_DIR)/corpus-mediainfo

bench: deps
	bench/run

clean:
	rm -rf build build-address build-thread build-release $(FUZZ_DIR)
