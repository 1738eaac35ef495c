#pragma once

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

// A real folder tree on a temporary folder; names are bytes.
class Tree {
public:
    std::filesystem::path root() const { return std::filesystem::path(m_dir.path().toStdString()); }
    std::filesystem::path at(const std::string& relative) const { return root() / relative; }

    std::filesystem::path file(const std::string& relative, std::size_t size) const {
        const auto path = at(relative);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << std::string(size, 'x');
        return path;
    }
    std::filesystem::path folder(const std::string& relative) const {
        std::filesystem::create_directories(at(relative));
        return at(relative);
    }
    // The collected paths relative to the root, as a set.
    std::set<std::string> relative(const std::vector<std::filesystem::path>& paths) const {
        std::set<std::string> result;
        for (const auto& p : paths)
            result.insert(p.lexically_relative(root()).native());
        return result;
    }

private:
    QTemporaryDir m_dir;
};
