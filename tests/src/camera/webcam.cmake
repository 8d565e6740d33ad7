# Tests of the webcam component, split-screen panel and picture-in-picture frame.
