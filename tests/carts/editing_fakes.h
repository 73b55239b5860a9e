#pragma once
// Recording fakes of what the cart editing commands talk to.
#include "carts/cart_buttons.h"
#include "carts/editing_ports.h"
#include "core/message_sink.h"
#include "support/recording_messages.h"

#include <QMap>
#include <QSet>
#include <QStringList>

#include <array>
#include <deque>

namespace carts::testing {

// What each button shows; tag and hint change only through a wall refresh.
class FakeButtons : public CartButtons {
public:
    void setCaption(int n, const QString& caption) override { at(n).caption = caption; }
    void setFaceColour(int n, Colour c) override { at(n).faceColour = c; }
    void setCaptionColour(int n, Colour c) override { at(n).captionColour = c; }
    void applyFace(const CartFace& face) override {
        ++facesApplied;
        at(face.tag) = face;
    }
    CartFace& at(int n) { return buttons.at(static_cast<std::size_t>(n - 1)); }

    std::array<CartFace, kCartCount> buttons{};
    int facesApplied = 0;
};

class FakePlayers : public CartPlayers {
public:
    bool isPlaying(int n) const override { return playing.contains(n); }
    void unload(int n) override { unloaded.append(n); }
    quint32 measureDurationMs(const QString& path) override {
        measured.append(path);
        return lengths.value(path, 0); // unknown files cannot be opened
    }
    void measureLoudness(const QString& path) override { loudnessQueued.append(path); }

    QSet<int> playing;
    QList<int> unloaded;
    QMap<QString, quint32> lengths;
    QStringList measured;
    QStringList loudnessQueued;
};

class FakeDialogs : public EditingDialogs {
public:
    std::optional<QString> chooseAudioFile(const QString& title) override {
        fileTitles.append(title);
        return next(files);
    }
    std::optional<Colour> chooseColour() override {
        ++colourDialogs;
        const std::optional<int> picked = next(colours);
        return picked ? std::optional<Colour>(Colour{*picked}) : std::nullopt;
    }
    std::optional<QString> rename(int cartNumber, const QString& currentName) override {
        renamedCart = cartNumber;
        renameShown = currentName;
        return next(names);
    }

    std::deque<std::optional<QString>> files;
    std::deque<std::optional<int>> colours;
    std::deque<std::optional<QString>> names;
    QStringList fileTitles;
    int colourDialogs = 0;
    int renamedCart = 0;
    QString renameShown;

private:
    // A dialog nobody scripted is cancelled.
    template <class T> static std::optional<T> next(std::deque<std::optional<T>>& answers) {
        if (answers.empty())
            return std::nullopt;
        std::optional<T> answer;
        answer.swap(answers.front());
        answers.pop_front();
        return answer;
    }
};

// messages and questions are recorded, never shown.
using FakeMessages = RecordingMessages;

} // namespace carts::testing
